#!/usr/bin/env bash
# Cross-builds checker.exe, checkerw.exe and notifier.exe, checks that a second build from a copy of the tree is
# byte-identical, signs them with a throw-away certificate and runs every Wine test against the
# signed programs in one fresh Wine prefix; ends with "N passed, N failed" and a non-zero status
# on any failure.
#
# Usage: scripts/test-windows.sh
# Environment: WINE_ARTEFACTS (screenshots and the notifier's trace; default build-win/artefacts),
# LINUX_CHECKER (the Linux build's checker to compare with; by default the normal build's,
# brought up to date first).
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
started=$SECONDS
# run_under_wine.sh reports the whole duration from here, just before its closing count line.
export WINE_TESTS_STARTED_AT=${WINE_TESTS_STARTED_AT:-$(date +%s)}

give_up() {
  echo "test-windows: $*" >&2
  printf '0 passed, 1 failed\n'
  exit 1
}

bash scripts/install-deps.sh || give_up "cannot install the Linux build's packages"
bash windows/wine/install-deps.sh || give_up "cannot install the Wine packages"

bash windows/tests/rebuild_and_sign.sh build-win ||
  give_up "the Windows cross-build failed, a second build differs, or signing failed"
printf 'test-windows: cross-build ready after %s s\n' "$((SECONDS - started))"

# The Linux checker of the normal build (scripts/test.sh has built it; then this is a no-op).
linux_checker=${LINUX_CHECKER:-}
if [ -z "$linux_checker" ]; then
  linux_checker=build/checker/checker
  if ! { [ -f build/CMakeCache.txt ] || cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo; } ||
    ! cmake --build build -j 2 --target checker >/dev/null; then
    give_up "the Linux checker does not build"
  fi
fi

export WINE_ARTEFACTS=${WINE_ARTEFACTS:-$PWD/build-win/artefacts}
rm -rf "$WINE_ARTEFACTS"
exec bash windows/tests/run_under_wine.sh build-win/signed "$linux_checker"
