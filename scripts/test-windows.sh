#!/usr/bin/env bash
# Cross-builds checker.exe, checkerw.exe and notifier.exe, signs them with a throw-away certificate
# and runs every Wine test against the signed programs in one fresh Wine prefix, while a second
# build from a copy of the tree is made and compared byte for byte; ends with "N passed, N failed"
# (both together) and a non-zero status on any failure.
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

# The rebuild check runs beside the Wine tests: they start as soon as build A is signed, while
# build B (the second build from a copy of the tree, at a lower priority) goes on.
rebuild_log=$(mktemp)
signed_ready=$(mktemp -u)
trap 'rm -f "$rebuild_log" "$signed_ready"' EXIT
SIGNED_READY=$signed_ready BUILD_B_NICENESS=19 bash windows/tests/rebuild_and_sign.sh build-win >"$rebuild_log" 2>&1 &
rebuild_pid=$!
while [ ! -e "$signed_ready" ] && kill -0 "$rebuild_pid" 2>/dev/null; do
  sleep 1
done
if [ ! -e "$signed_ready" ]; then
  cat "$rebuild_log"
  give_up "the Windows cross-build failed or signing failed"
fi
printf 'test-windows: signed cross-build ready after %s s; build B goes on beside the Wine tests\n' "$((SECONDS - started))"

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
wine_log=$(mktemp)
trap 'rm -f "$rebuild_log" "$signed_ready" "$wine_log"' EXIT
bash windows/tests/run_under_wine.sh build-win/signed "$linux_checker" | tee "$wine_log"
wine_status=${PIPESTATUS[0]}

echo "== rebuild and signing checks (ran beside the Wine tests)"
wait "$rebuild_pid"
rebuild_status=$?
cat "$rebuild_log"
# One count for both: the last "N passed, N failed" line of each.
counts() { sed -n 's/^\([0-9]*\) passed, \([0-9]*\) failed$/\1 \2/p' "$1" | tail -n 1; }
read -r wine_passed wine_failed <<<"$(counts "$wine_log")"
read -r rebuild_passed rebuild_failed <<<"$(counts "$rebuild_log")"
printf 'test-windows: done after %s s\n' "$((SECONDS - started))"
printf '%s passed, %s failed\n' "$((${wine_passed:-0} + ${rebuild_passed:-0}))" \
  "$((${wine_failed:-1} + ${rebuild_failed:-1}))"
[ "$wine_status" -eq 0 ] && [ "$rebuild_status" -eq 0 ]
