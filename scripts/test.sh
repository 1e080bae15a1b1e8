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

build_and_test() {
  cmake --build "$1" -j 2
  # A suite that finds no test, or a test that hangs, fails the run. Most tests wait on local
  # servers and time-outs rather than compute: four at a time on two cores (six was slower).
  ctest --test-dir "$1" --output-on-failure -j 4 --no-tests=error --timeout 600
}

stage "Linux build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
build_and_test build
[ "$mode" = "--quick" ] && exit 0

# One clang tree holds the sanitizer build of the tests and the fuzz targets.
stage "Linux build with AddressSanitizer and UndefinedBehaviorSanitizer (clang, fuzz targets too), and tests"
bash scripts/configure-sanitize.sh build-sanitize
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 build_and_test build-sanitize

stage "Static analysis: clang-tidy and cppcheck"
bash scripts/static-analysis.sh

stage "Fuzzing, 12 s per target"
bash scripts/fuzz.sh 12

if [ "$mode" != "--linux" ]; then
  stage "Windows cross-build, run under Wine"
  bash scripts/test-windows.sh
fi

stage "All tests passed"
