#!/usr/bin/env bash
# Installs what is missing, checks formatting, builds, and runs every test:
# the release build, the AddressSanitizer + UndefinedBehaviorSanitizer build,
# and the tests that involve threads under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)
echo "== formatting"
bash scripts/lint.sh

echo "== release build (Release) and tests"
bash scripts/build.sh release
ctest --test-dir build --output-on-failure -j "$jobs" --timeout 600

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
bash scripts/build.sh asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 900 -LE browser

echo "== ThreadSanitizer (tests that involve threads)"
bash scripts/build.sh tsan platform_tests tracer_tests apps_tests bindings_tests
TSAN_OPTIONS=halt_on_error=1 \
  ctest --test-dir build-tsan --output-on-failure -j "$jobs" --timeout 900 -R 'Threads'
