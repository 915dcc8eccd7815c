#!/usr/bin/env bash
# Installs a build tree into a fresh prefix and uses it as another project
# would: the example tool is configured with find_package against the prefix,
# built and run, and the installed ptrace reads the trace it saved. Every
# installed header is compiled too, so the installed include closure is whole.
#   install_and_use.sh BUILD_DIR SOURCE_DIR GENERATOR WORK_DIR CXX_COMPILER
set -euo pipefail
build=$1 source=$2 generator=$3 work=$4 cxx=$5

fail() { echo "install_and_use: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
  fail "cmake --install failed; is the build complete? $(tail -5 "$work/install.log")"

# The flame-graph script sits where the installed library looks for it, and draws.
script=$prefix/test/tools/shared/flamegraph/flamegraph.pl
[[ -x $script ]] || fail "the flame-graph script is not installed at $script"
printf 'main;load 3\nmain;run 5\n' | perl "$script" --width 600 | grep -q '<title>main (8 samples' ||
  fail "the installed flame-graph script does not draw"

build_project() {  # build_project SOURCE BINARY
  cmake -S "$1" -B "$2" -G "$generator" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$prefix" >"$2.log" 2>&1 || fail "configuring $1 failed: $(tail -20 "$2.log")"
  cmake --build "$2" -j 2 >>"$2.log" 2>&1 || fail "building $1 failed: $(tail -20 "$2.log")"
}
build_project "$source/examples/instrument_a_tool" "$work/example"
build_project "$source/tests/package/headers" "$work/headers"

# The installed tool must load the installed library, not the build tree's.
ptrace=$prefix/bin/ptrace
library=$(ldd "$ptrace" | awk '/libperformance_tracer/ { print $3 }')
[[ $library == "$prefix"/* ]] || fail "installed ptrace loads '$library', not the library under $prefix"

output=$("$work/example/instrument_a_tool" "$work/run") || fail "the example failed: $output"
[[ $output == *"trace:  $work/run/example.kvd"* && $output == *"report: $work/run/example-time.html"* ]] ||
  fail "the example does not say where its files are: $output"
grep -q '<html' "$work/run/example-time.html" && grep -q 'Generate code' "$work/run/example-time.html" ||
  fail "the example's report is not an HTML page of its phases"

info=$("$ptrace" info "$work/run/example.kvd") || fail "ptrace info cannot read the example's trace: $info"
for expected in "Example Tool (12 points)" "Phases (3): Build, Generate code, Parse" \
                "Models: pendulum, thermostat" "Targets: TGX"; do
  [[ $info == *"$expected"* ]] || fail "ptrace info lacks '$expected': $info"
done
rm -rf "$work"
echo "install_and_use: installed package builds, runs and its trace reads back"
