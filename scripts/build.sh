#!/usr/bin/env bash
# Configures and builds one configuration: build.sh [release|asan|tsan] [targets...]
set -euo pipefail
cd "$(dirname "$0")/.."
config=${1:-release}; shift || true
case "$config" in
  release) dir=build;      flags=(-DCMAKE_BUILD_TYPE=Release) ;;
  asan)    dir=build-asan; flags=(-DCMAKE_BUILD_TYPE=Debug -DPT_SANITIZE=address,undefined -DPT_BUILD_BENCH=OFF) ;;
  tsan)    dir=build-tsan; flags=(-DCMAKE_BUILD_TYPE=Debug -DPT_SANITIZE=thread -DPT_BUILD_BENCH=OFF) ;;
  *) echo "build.sh: unknown configuration '$config' (release, asan or tsan)" >&2; exit 2 ;;
esac
# Our own builds treat warnings as errors. A build folder configured another
# way (an older build type, or before the option existed) is configured again.
flags+=(-DPT_WARNINGS_AS_ERRORS=ON)
build_type=${flags[0]#-DCMAKE_BUILD_TYPE=}
if [ ! -f "$dir/build.ninja" ] ||
   ! grep -q "^CMAKE_BUILD_TYPE:STRING=$build_type\$" "$dir/CMakeCache.txt" ||
   ! grep -q '^PT_WARNINGS_AS_ERRORS:BOOL=ON$' "$dir/CMakeCache.txt"; then
  cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
fi
cmake --build "$dir" -j "$(nproc)" ${1:+--target "$@"}
