#!/usr/bin/env bash
# Runs every test: the Linux build and its sanitizer build (unit, black-box, robustness tests),
# static analysis, a short fuzzing run of every target, and the Windows cross-build under Wine.
#
# Usage: scripts/test.sh [--quick | --linux]
#   --quick  the normal Linux build and its tests only
#   --linux  everything but the Windows build and its Wine tests
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-all}
started=$SECONDS
stage() { echo; echo "=== $* ($(( SECONDS - started )) s so far)"; }

bash scripts/install-deps.sh

run_suite() {
  local build_dir=$1; shift
  cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
  cmake --build "$build_dir" -j 2
  # A suite that finds no test, or a test that hangs, fails the run.
  ctest --test-dir "$build_dir" --output-on-failure -j 2 --no-tests=error --timeout 600
}

stage "Linux build and tests"
run_suite build
[ "$mode" = "--quick" ] && exit 0

stage "Linux build with AddressSanitizer and UndefinedBehaviorSanitizer, and tests"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_suite build-sanitize -DQUORVANE_SANITIZE=ON

stage "Static analysis: clang-tidy and cppcheck"
bash scripts/static-analysis.sh

stage "Fuzzing, 20 s per target"
bash scripts/fuzz.sh 20

if [ "$mode" != "--linux" ]; then
  stage "Windows cross-build, run under Wine"
  bash scripts/test-windows.sh
fi

stage "All tests passed"
