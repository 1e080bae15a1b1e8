#!/usr/bin/env bash
# Configures the one clang tree with AddressSanitizer and UndefinedBehaviorSanitizer that holds
# both the sanitizer build of the tests and the libFuzzer targets.
#
# Usage: scripts/configure-sanitize.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:?usage: configure-sanitize.sh BUILD_DIR}
# A tree first configured with another compiler cannot be switched; it is made anew.
if [ -f "$build_dir/CMakeCache.txt" ] && ! grep -q '^CMAKE_CXX_COMPILER:.*clang++' "$build_dir/CMakeCache.txt"; then
  rm -rf "$build_dir"
fi
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVANE_SANITIZE=ON -DQUORVANE_FUZZ=ON >/dev/null
