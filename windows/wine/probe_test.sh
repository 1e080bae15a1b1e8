#!/usr/bin/env bash
# Proves the Wine harness end to end with the probe: exit status, named mutex, tray icon, balloon,
# task dialog (Escape and link), fake browser and the common-controls-6 binding.
#
# Usage: probe_test.sh [SCREENSHOT_DIR]   (screenshots are kept only when a folder is given)
# Needs the packages of install-deps.sh. Takes about a minute; every wait is bounded.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=session.sh
source "$here/session.sh"
# shellcheck source=tray_click.sh
source "$here/tray_click.sh"

passed=0
failed=0
pass() { passed=$((passed + 1)); printf 'PASS: %s\n' "$*"; }
fail() { failed=$((failed + 1)); printf 'FAIL: %s\n' "$*"; }
expect_equal() { # NAME EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then pass "$1"; else fail "$1: expected [$2], got [$3]"; fi
}
expect_line() { # NAME FILE PATTERN
  if grep -qE -- "$3" "$2" 2>/dev/null; then pass "$1"; else fail "$1: no line /$3/ in $2"; fi
}

wine_session_start
shots=${1:-$WINE_SESSION_DIR/shots}
mkdir -p "$shots"
bin="$WINE_SESSION_DIR/bin"
if ! bash "$here/probe/build.sh" "$bin" >"$WINE_SESSION_DIR/build.log" 2>&1; then
  cat "$WINE_SESSION_DIR/build.log"
  fail "probe builds"
  exit 1
fi
probe="$bin/tray_probe.exe"

# --- exit status passes through wine
timeout 60 wine "$probe" exit 7
expect_equal "exit status 7 comes back from wine" 7 $?

# --- common controls 6: the manifest decides which comctl32 the process loads
WINEDEBUG=$WINE_LOADDLL_DEBUG timeout 60 wine "$probe" exit 0 2>"$WINE_SESSION_DIR/manifest.trace"
if wine_trace_shows_comctl6 "$WINE_SESSION_DIR/manifest.trace" tray_probe.exe; then
  pass "manifest binds common controls 6"
else
  fail "manifest binds common controls 6"
fi
WINEDEBUG=$WINE_LOADDLL_DEBUG timeout 60 wine "$bin/tray_probe_nomanifest.exe" exit 0 2>"$WINE_SESSION_DIR/plain.trace"
if wine_trace_shows_comctl6 "$WINE_SESSION_DIR/plain.trace" tray_probe_nomanifest.exe; then
  fail "a program without the manifest is not taken for common controls 6"
else
  pass "a program without the manifest is not taken for common controls 6"
fi

# --- named mutex: a second instance under the same wineserver sees ERROR_ALREADY_EXISTS
mutex_log="$WINE_SESSION_DIR/mutex.log"
wine_program_start first "$probe" mutex 'Local\QuorvaneProbeMutex' 8000 "$(wine_windows_path "$mutex_log")"
if wine_file_wait_line "$mutex_log" '^mutex created$' 20; then
  timeout 60 wine "$probe" mutex 'Local\QuorvaneProbeMutex' 0 "$(wine_windows_path "$mutex_log")"
  expect_equal "second instance sees the mutex (status 3)" 3 $?
  expect_equal "first instance ends normally" 0 "$(wine_program_wait first 20)"
else
  fail "first instance creates the mutex"
fi

# --- tray icon, balloon, left click, task dialog closed with Escape
wine_session_fake_browser
browser_log=$WINE_SESSION_BROWSER_LOG
url='https://example.invalid/download?a=1&b=2'
tray_log="$WINE_SESSION_DIR/tray1.log"
WINEDEBUG=$WINE_LOADDLL_DEBUG wine_program_start tray1 "$probe" tray "$(wine_windows_path "$tray_log")" "$url" 60000
wine_file_wait_line "$tray_log" '^message loop$' 20
expect_line "icon added" "$tray_log" '^icon added: 1$'
expect_line "version 4 accepted" "$tray_log" '^version 4 accepted: 1$'
if wine_balloon_wait 15 >/dev/null; then
  sleep 0.5 # painted just after it is mapped
  wine_screenshot "$shots/balloon.png"
  pass "balloon shown"
else
  fail "balloon shown"
fi
if wine_tray_click 1 20 && dialog=$(wine_window_wait 'Tray probe dialog' 20); then
  pass "left click opens the dialog"
  expect_line "left click arrives as NIN_SELECT" "$tray_log" 'NIN_SELECT$'
  sleep 0.5
  wine_screenshot "$shots/dialog.png"
  wine_window_focus "$dialog"
  wine_keys Escape
  expect_equal "Escape closes the dialog and the program ends with 0" 0 "$(wine_program_wait tray1 20)"
  expect_line "Escape is a button click (code 2)" "$tray_log" '^dialog event: 2$'
  expect_line "icon removed on exit" "$tray_log" '^icon deleted: 1$'
else
  fail "left click opens the dialog"
fi
if wine_trace_shows_comctl6 "$WINE_SESSION_DIR/tray1.err" tray_probe.exe; then
  pass "the running dialog uses common controls 6"
else
  fail "the running dialog uses common controls 6"
fi

# --- right click, then follow the link with Tab and Return
tray_log="$WINE_SESSION_DIR/tray2.log"
wine_program_start tray2 "$probe" tray "$(wine_windows_path "$tray_log")" "$url" 60000
wine_file_wait_line "$tray_log" '^message loop$' 20
if wine_tray_click 3 20 && dialog=$(wine_window_wait 'Tray probe dialog' 20); then
  pass "right click opens the dialog"
  expect_line "right click arrives as WM_CONTEXTMENU" "$tray_log" 'WM_CONTEXTMENU$'
  wine_window_focus "$dialog"
  # Focus starts on Cancel; the next stop is the footer link.
  wine_keys Tab
  sleep 0.3
  wine_screenshot "$shots/link-focused.png"
  wine_keys Return
  expect_equal "following the link ends the program with 0" 0 "$(wine_program_wait tray2 20)"
  expect_line "link reports the address" "$tray_log" "^hyperlink: https://example\.invalid/download\?a=1&b=2$"
  if wine_file_wait_line "$browser_log" '^https://example\.invalid/download\?a=1&b=2$' 20; then
    pass "the address reaches xdg-open unchanged"
  else
    fail "the address reaches xdg-open unchanged"
  fi
else
  fail "right click opens the dialog"
fi

# --- Wine's limits, recorded so a change in Wine shows up here
if grep -qE 'NIN_BALLOON(SHOW|TIMEOUT|USERCLICK)' "$WINE_SESSION_DIR"/tray*.log; then
  printf 'NOTE: this Wine sends balloon events\n'
fi

wine_session_stop
printf '%s passed, %s failed\n' "$passed" "$failed"
[ "$failed" -eq 0 ]
