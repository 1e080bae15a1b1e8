#!/usr/bin/env bash
# Builds everything and runs all tests: the normal build, then the sanitizer build.
# "--quick" runs the normal build only.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

run_suite() {
  local build_dir=$1; shift
  cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
  cmake --build "$build_dir" -j 2
  # A suite that finds no test, or a test that hangs, fails the run.
  ctest --test-dir "$build_dir" --output-on-failure -j 2 --no-tests=error --timeout 600
}

run_suite build
if [ "${1:-}" != "--quick" ]; then
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_suite build-sanitize -DQUORVANE_SANITIZE=ON
fi
