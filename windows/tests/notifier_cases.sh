# Sourceable bash library: notifier.exe under Wine, from NOGO through the tray icon, balloon,
# update dialog and browser link, with the descriptor stored by checker.exe.
#
# Needs a started session (windows/wine/session.sh, tray_click.sh) and results.sh, and:
#   NOTIFIER_EXE, CHECKER_EXE   Unix paths of the programs (icon.bmp beside the notifier)
#   WINE_LOCAL_APP_DATA         Unix path of the prefix's %LOCALAPPDATA%
#   WINE_ARTEFACTS              folder for screenshots and traces
#   METADATA_SERVICE            service.json of a running fixtures.demo_service
# Wine 8 never sends the balloon's own events (shown, time-out, click), so no GO run here ends by
# itself: each is ended through the dialog, and a run left over is ended with taskkill.

notifier_tests_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=release.env
source "$notifier_tests_dir/../../release.env"
NOTIFIER_PACKAGE=$PACKAGE_NAME
NOTIFIER_SHIPPED=$SHIPPED_VERSION_NUMBER
NOTIFIER_DIALOG_TITLE="$VENDOR OpenJDK update available"
NOTIFIER_ADDRESS=https://quorvane.example/openjdk/download

notifier_update_folder() { printf '%s\n' "$WINE_LOCAL_APP_DATA/$VENDOR/$NOTIFIER_PACKAGE/update"; }
notifier_trace() { printf '%s\n' "$(notifier_update_folder)/trace.json"; }

# trace_has NAME [--last] EVENT...: the notifier's trace holds the events in this order.
trace_has() {
  local name=$1; shift
  expect "$name" python3 "$notifier_tests_dir/trace_events.py" "$(notifier_trace)" "$@"
}

# Ends notifier instances that a failed case left running, so the next case is not a second instance.
notifier_end_leftovers() {
  timeout 20 wine taskkill /f /im notifier.exe >/dev/null 2>&1 || true
}

notifier_nogo_cases() {
  local started status
  rm -rf "${WINE_LOCAL_APP_DATA:?}/$VENDOR"
  started=$SECONDS
  timeout 30 wine "$NOTIFIER_EXE" -v
  status=$?
  expect_equal "notifier without version.json ends at once with 0 (NOGO)" 0 "$status"
  expect "... within 10 s" test $((SECONDS - started)) -lt 10
  expect "... and writes no trace where the folder is missing" test ! -e "$(notifier_trace)"

  mkdir -p "$(notifier_update_folder)"
  printf '{"version_number": %s, "ui_balloon_text": "same"}' "$NOTIFIER_SHIPPED" >"$(notifier_update_folder)/version.json"
  timeout 30 wine "$NOTIFIER_EXE" -v
  expect_equal "notifier with the shipped version stored ends with 0 (NOGO)" 0 $?
  local seen_path
  seen_path="C:/${WINE_LOCAL_APP_DATA#*/drive_c/}/$VENDOR/$NOTIFIER_PACKAGE/update/version.json"
  trace_has "... its trace reads version.json from %LOCALAPPDATA% and says NOGO" \
    "EVENT_SHIPPEDVERSION $NOTIFIER_SHIPPED" "EVENT_LOCALPATH $seen_path" \
    "EVENT_CONTENTVERSION $NOTIFIER_SHIPPED" "'NOGO' mode exiting" "EVENT_PROCEED 1"
  rm -rf "${WINE_LOCAL_APP_DATA:?}/$VENDOR"
}

# checker.exe fetches the DM response and stores the descriptor in the notifier's folder.
notifier_meets_checker() {
  local config=$WINE_SESSION_DIR/notifier-config.json output
  python3 - "$METADATA_SERVICE" "$config" "$NOTIFIER_PACKAGE" "$VENDOR" <<'PYTHON'
import json, sys
service = json.load(open(sys.argv[1]))
ca_file = "Z:" + service["ca_file"].replace("/", "\\")
json.dump({"remote_version_url": service["url"], "curl_cainfo_filename": ca_file,
           "vendor_name": sys.argv[4], "application_name": sys.argv[3]}, open(sys.argv[2], "w"))
PYTHON
  output=$(timeout 60 wine "$CHECKER_EXE" --config "$(wine_windows_path "$config")")
  expect_equal "checker.exe stores a descriptor for the notifier (status)" 0 $?
  expect "... with its INFO line" grep -q " INFO: new version descriptor obtained: \[C:/.*/$VENDOR/$NOTIFIER_PACKAGE/update/version.json\]" <<<"$output"
  expect "... into the notifier's folder" test -s "$(notifier_update_folder)/version.json"
}

notifier_screenshot() {
  wine_screenshot "$WINE_ARTEFACTS/$1.png" && printf 'screenshot: %s\n' "$WINE_ARTEFACTS/$1.png"
}

# notifier_crop NAME BEFORE: NAME-crop.png, the part of screenshot NAME that differs from the
# screenshot BEFORE, with a margin of 12 px.
notifier_crop() {
  local box x y width height
  box=$(convert "$WINE_ARTEFACTS/$2.png" "$WINE_ARTEFACTS/$1.png" -compose difference -composite \
    -colorspace gray -threshold 5% -format '%@' info: 2>/dev/null)
  [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 1
  x=$((BASH_REMATCH[3] > 12 ? BASH_REMATCH[3] - 12 : 0))
  y=$((BASH_REMATCH[4] > 12 ? BASH_REMATCH[4] - 12 : 0))
  width=$((BASH_REMATCH[1] + 24)) height=$((BASH_REMATCH[2] + 24))
  convert "$WINE_ARTEFACTS/$1.png" -crop "${width}x${height}+${x}+${y}" +repage "$WINE_ARTEFACTS/$1-crop.png" &&
    printf 'screenshot: %s\n' "$WINE_ARTEFACTS/$1-crop.png"
}

# GO with tracing and the DLL-load trace: balloon, a second instance, left click, expand, Esc.
notifier_go_cancel_case() {
  local dialog
  rm -f "$(notifier_trace)"
  wine_screenshot "$WINE_ARTEFACTS/desktop.png"
  WINEDEBUG=$WINE_LOADDLL_DEBUG wine_program_start go-cancel "$NOTIFIER_EXE" -v
  if ! wine_file_wait_line "$(notifier_trace)" 'is due to start message loop' 30; then
    fail "GO run writes its trace before the message loop"
    notifier_end_leftovers
    return
  fi
  trace_has "GO run adds the icon with interface version 4 before its loop" \
    "'GO' mode proceeding" "EVENT_PROCEED 0" "'WM_CREATE' event received" "is due to add notification" \
    "'Shell_NotifyIconW' version, result: [1]" "is due to start message loop"
  if wine_balloon_wait 15 >/dev/null; then
    sleep 0.5  # painted just after it is mapped
    notifier_screenshot balloon
    notifier_crop balloon desktop
    pass "the balloon appears above the tray"
  else
    fail "the balloon appears above the tray"
  fi

  local started=$SECONDS
  timeout 30 wine "$NOTIFIER_EXE" -v
  expect_equal "a second instance ends with 0 while the first runs" 0 $?
  expect "... at once" test $((SECONDS - started)) -lt 10
  trace_has "... after tracing that another instance runs" --last \
    "tracer initialized" "another instance of notifier is already running"

  if wine_tray_click 1 20 && dialog=$(wine_window_wait "$NOTIFIER_DIALOG_TITLE" 20); then
    pass "a left click on the tray icon opens the update dialog"
    sleep 0.5
    notifier_screenshot dialog
    notifier_crop dialog balloon
    # A second click while the dialog is open reaches the window procedure inside the dialog's
    # modal loop and must not open another dialog.
    wine_tray_click 1 5
    sleep 1
    expect_equal "a second click opens no second dialog" 1 \
      "$(xdotool search --name "^$NOTIFIER_DIALOG_TITLE\$" | wc -l)"
    wine_window_focus "$dialog"
    # Focus starts on Cancel; two Tabs reach the expand button, whose label is string 144.
    wine_keys Tab Tab space
    sleep 0.5
    notifier_screenshot dialog-expanded
    wine_keys Escape
    expect_equal "Esc closes the dialog and the program ends with 0" 0 "$(wine_program_wait go-cancel 20)"
    trace_has "... its trace: selection, dialog, second selection refused, expanded, cancelled, icon removed" \
      "'NIN_SELECT' event received" "is due to show update dialog" "additional update dialog prevented" \
      "non-proceed dialog event received, code: [10]" "non-proceed dialog event received, code: [2]" \
      "update dialog closed, result: [0]" "'WM_DESTROY' event received" "'Shell_NotifyIconW' delete, result: [1]"
    cp "$(notifier_trace)" "$WINE_ARTEFACTS/notifier-trace.json" 2>/dev/null
  else
    fail "a left click on the tray icon opens the update dialog"
    notifier_screenshot go-cancel-failure
    notifier_end_leftovers
  fi
  expect "notifier.exe's manifest binds common controls 6" \
    wine_trace_shows_comctl6 "$WINE_SESSION_DIR/go-cancel.err" notifier.exe
}

# GO: right click, then follow the link with Tab and Return; the fake browser gets the address.
notifier_go_link_case() {
  local dialog
  wine_session_fake_browser
  rm -f "$(notifier_trace)"  # the earlier run's trace also holds the line waited for below
  wine_program_start go-link "$NOTIFIER_EXE" -v
  wine_file_wait_line "$(notifier_trace)" 'is due to start message loop' 30
  if wine_tray_click 3 20 && dialog=$(wine_window_wait "$NOTIFIER_DIALOG_TITLE" 20); then
    pass "a right click on the tray icon opens the update dialog"
    wine_window_focus "$dialog"
    wine_keys Tab Return
    expect_equal "following the link ends the program with 0" 0 "$(wine_program_wait go-link 20)"
    expect "... and hands $NOTIFIER_ADDRESS to the browser" \
      wine_file_wait_line "$WINE_SESSION_BROWSER_LOG" "^${NOTIFIER_ADDRESS//./\\.}\$" 20
    trace_has "... its trace: context menu, proceed, closed" "'WM_CONTEXTMENU' event received" \
      "is due to show update dialog" "update proceed selected" "update dialog closed, result: [0]" \
      "'Shell_NotifyIconW' delete, result: [1]"
  else
    fail "a right click on the tray icon opens the update dialog"
    notifier_screenshot go-link-failure
    notifier_end_leftovers
  fi
}

# Without icon.bmp beside it the icon cannot be added: status 1, nothing shown.
notifier_without_bitmap_case() {
  local lonely=$WINE_SESSION_DIR/lonely
  mkdir -p "$lonely"
  cp "$NOTIFIER_EXE" "$lonely/"
  timeout 30 wine "$lonely/notifier.exe" -v
  expect_equal "GO without icon.bmp ends with 1" 1 $?
  # Wine sends no WM_DESTROY to a window whose WM_CREATE refused the creation, so the trace
  # ends with the two failures.
  trace_has "... after trying to add the icon" "'WM_CREATE' event received" "is due to add notification"
  expect "... naming the window creation" grep -q "'CreateWindowExW' fail" "$(notifier_trace)"
  expect "... naming the bitmap load" grep -q "'LoadImageW' fail" "$(notifier_trace)"
}

# The hidden window is a top-level window that is never shown; after a taskbar restart (its icon
# removed, "TaskbarCreated" broadcast by notifier_probe.exe) the icon comes back and a click on
# it still opens the update dialog.
notifier_taskbar_restart_case() {
  local dialog
  rm -f "$(notifier_trace)"
  wine_program_start taskbar-restart "$NOTIFIER_EXE" -v
  if ! wine_file_wait_line "$(notifier_trace)" 'is due to start message loop' 30 || ! wine_tray_locate 20 >/dev/null; then
    fail "GO run for the taskbar restart shows its icon"
    notifier_end_leftovers
    return
  fi
  expect "the notifier's hidden window is top-level and not visible" wine "$NOTIFIER_PROBE_EXE" window
  expect "notifier_probe.exe removes the icon and broadcasts TaskbarCreated" wine "$NOTIFIER_PROBE_EXE" restart
  local started=$SECONDS
  # The trace is written at the end of the run only; the icon's return shows on the screen.
  sleep 1
  if wine_tray_click 1 10 && dialog=$(wine_window_wait "$NOTIFIER_DIALOG_TITLE" 20); then
    pass "after the taskbar restart the icon is back and a click opens the update dialog"
    expect "... within a few seconds" test $((SECONDS - started)) -lt 15
    sleep 0.5
    notifier_screenshot dialog-after-taskbar-restart
    wine_window_focus "$dialog"
    wine_keys Escape
    expect_equal "... Esc ends the run with 0" 0 "$(wine_program_wait taskbar-restart 20)"
    trace_has "... its trace: TaskbarCreated, icon added again, selection, dialog" \
      "'TaskbarCreated' event received" "'Shell_NotifyIconW' version, result: [1]" "'NIN_SELECT' event received" \
      "is due to show update dialog" "update dialog closed, result: [0]" "'Shell_NotifyIconW' delete, result: [1]"
  else
    fail "after the taskbar restart the icon is back and a click opens the update dialog"
    notifier_screenshot taskbar-restart-failure
    notifier_end_leftovers
  fi
}

# After its balloon timed out (Wine never says so: notifier_probe.exe posts NIN_BALLOONTIMEOUT as
# the shell does) the icon stays and a click still opens the update dialog, which has a taskbar
# button of its own; the balloon data names the large 32-bit picture.
notifier_notice_stays_case() {
  local dialog
  rm -f "$(notifier_trace)"
  wine_screenshot "$WINE_ARTEFACTS/before-notice.png"
  wine_program_start notice-stays "$NOTIFIER_EXE" -v
  if ! wine_file_wait_line "$(notifier_trace)" 'is due to start message loop' 30 || ! wine_tray_locate 20 >/dev/null; then
    fail "GO run for the balloon time-out shows its icon"
    notifier_end_leftovers
    return
  fi
  trace_has "the balloon is given NIIF_USER | NIIF_LARGE_ICON and a 128 x 128 32-bit picture" \
    "balloon prepared, info flags: [180], picture: [128 x 128, 32 bits]"
  expect "notifier_probe.exe takes the balloon away and posts NIN_BALLOONTIMEOUT" wine "$NOTIFIER_PROBE_EXE" timeout
  sleep 1
  expect "... the notifier still runs" test ! -f "$WINE_SESSION_DIR/notice-stays.status"
  expect "... and its icon is still in the notification area" wine "$NOTIFIER_PROBE_EXE" icon
  expect "... and no balloon is left on the screen" wine_session_wait_for 5 eval '! wine_balloon_wait 0 >/dev/null 2>&1'
  notifier_screenshot notice-after-balloon-timeout
  if wine_tray_click 1 10 && dialog=$(wine_window_wait "$NOTIFIER_DIALOG_TITLE" 20); then
    pass "after the balloon's time-out a click on the icon opens the update dialog"
    expect "... a dialog owned by no window, with its own taskbar button" \
      wine "$NOTIFIER_PROBE_EXE" dialog "$NOTIFIER_DIALOG_TITLE"
    wine_window_focus "$dialog"
    wine_keys Escape
    expect_equal "... Esc ends the run with 0" 0 "$(wine_program_wait notice-stays 20)"
    trace_has "... its trace: time-out, icon kept, selection, dialog, icon removed" \
      "'NIN_BALLOONTIMEOUT' event received" "balloon gone, the icon stays until it is selected" \
      "'NIN_SELECT' event received" "is due to show update dialog" "update dialog closed, result: [0]" \
      "'Shell_NotifyIconW' delete, result: [1]"
  else
    fail "after the balloon's time-out a click on the icon opens the update dialog"
    notifier_screenshot notice-stays-failure
    notifier_end_leftovers
  fi
}

# The session's end (WM_QUERYENDSESSION, then WM_ENDSESSION from notifier_probe.exe) removes the
# icon and ends the run with 0 at once, also while the update dialog is open.
notifier_session_end_case() {
  local with_dialog label
  for with_dialog in no yes; do
    label="session's end$([ "$with_dialog" = yes ] && echo " with the dialog open")"
    rm -f "$(notifier_trace)"
    wine_program_start session-end "$NOTIFIER_EXE" -v
    if ! wine_file_wait_line "$(notifier_trace)" 'is due to start message loop' 30 || ! wine_tray_locate 20 >/dev/null ||
      { [ "$with_dialog" = yes ] && ! { wine_tray_click 1 20 && wine_window_wait "$NOTIFIER_DIALOG_TITLE" 20 >/dev/null; }; }; then
      fail "GO run for the $label shows its icon"
      notifier_end_leftovers
      continue
    fi
    expect "$label: notifier_probe.exe ends the session for the notifier (it may end)" \
      wine "$NOTIFIER_PROBE_EXE" end-session
    expect_equal "... the run ends with 0" 0 "$(wine_program_wait session-end 10)"
    trace_has "... its trace: WM_ENDSESSION, then the icon removed" \
      "'WM_ENDSESSION' event received" "'WM_DESTROY' event received" "'Shell_NotifyIconW' delete, result: [1]"
    if wine "$NOTIFIER_PROBE_EXE" icon >/dev/null; then
      fail "... and no icon is left"
    else
      pass "... and no icon is left"
    fi
    notifier_end_leftovers
  done
}

# The update dialog offers "Remind me later" and "Skip this version" (read back from its window);
# a click on "Skip this version" writes choice.json and the next run shows nothing. With
# AllowUserChoices=0 neither button is offered and the stored skip is ignored.
notifier_choice_case() {
  local dialog buttons choice number seen_choice key="HKCU\\SOFTWARE\\Policies\\$VENDOR\\UpdateNotifier"
  choice="$(notifier_update_folder)/choice.json"
  seen_choice="C:/${WINE_LOCAL_APP_DATA#*/drive_c/}/$VENDOR/$NOTIFIER_PACKAGE/update/choice.json"
  number=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["version_number"])' \
    "$(notifier_update_folder)/version.json")
  rm -f "$(notifier_trace)" "$choice"
  wine_program_start choice-skip "$NOTIFIER_EXE" -v
  if ! wine_file_wait_line "$(notifier_trace)" 'is due to start message loop' 30 || ! wine_tray_click 1 20 ||
    ! dialog=$(wine_window_wait "$NOTIFIER_DIALOG_TITLE" 20); then
    fail "the update dialog opens for the choice case"
    notifier_end_leftovers
    return
  fi
  buttons=$(wine "$NOTIFIER_PROBE_EXE" buttons "$NOTIFIER_DIALOG_TITLE" | tr -d '\r')
  expect "the update dialog has the buttons Remind me later and Skip this version" \
    grep -qzE 'Remind me later.*Skip this version' <<<"$buttons"
  sleep 0.5
  notifier_screenshot dialog-with-choices
  expect "notifier_probe.exe clicks Skip this version" wine "$NOTIFIER_PROBE_EXE" press "$NOTIFIER_DIALOG_TITLE" "Skip this version"
  expect_equal "... the run ends with 0" 0 "$(wine_program_wait choice-skip 20)"
  expect "... choice.json names the skipped version" grep -q '"skipped_version_number": [0-9]' "$choice"
  trace_has "... its trace: the choice, the icon removed, the choice stored" "'Skip this version' selected" \
    "'Shell_NotifyIconW' delete, result: [1]" "user choice stored, path: [$seen_choice]"
  rm -f "$(notifier_trace)"
  timeout 30 wine "$NOTIFIER_EXE" -v
  expect_equal "the next run ends with 0 at once" 0 $?
  trace_has "... saying the user skipped the version" "'NOGO' mode: skipped by the user, version_number: [$number]" \
    "'NOGO' mode exiting"
  expect "... without adding an icon" eval '! grep -q "is due to add notification" "$(notifier_trace)"'

  timeout 60 wine reg add "$key" /v AllowUserChoices /t REG_DWORD /d 0 /f /reg:64 >/dev/null 2>&1
  rm -f "$(notifier_trace)"
  wine_program_start choice-off "$NOTIFIER_EXE" -v
  if wine_file_wait_line "$(notifier_trace)" 'is due to start message loop' 30 && wine_tray_click 1 20 &&
    dialog=$(wine_window_wait "$NOTIFIER_DIALOG_TITLE" 20); then
    pass "AllowUserChoices=0: the skipped version is shown again"
    buttons=$(wine "$NOTIFIER_PROBE_EXE" buttons "$NOTIFIER_DIALOG_TITLE" | tr -d '\r')
    expect "... and its dialog offers neither choice" eval '! grep -qE "Remind me later|Skip this version" <<<"$buttons"'
    wine_window_focus "$dialog"
    wine_keys Escape
    expect_equal "... Esc ends the run with 0" 0 "$(wine_program_wait choice-off 20)"
  else
    fail "AllowUserChoices=0: the skipped version is shown again"
    notifier_end_leftovers
  fi
  timeout 60 wine reg delete "$key" /f /reg:64 >/dev/null 2>&1
  rm -f "$choice"
}

# What Wine cannot show: the balloon's picture is a 128 x 128 icon made by the notifier's own
# loader; the manifests say how Windows starts the programs: the notifier per-monitor DPI aware
# (v2, else v1), all three with the caller's rights.
notifier_picture_and_manifest_case() {
  expect "the balloon picture made from icon.bmp is a 128 x 128 icon, 32 bits, transparent around its square" \
    wine "$NOTIFIER_PROBE_EXE" picture "$(wine_windows_path "$(dirname "$NOTIFIER_EXE")/icon.bmp")"
  local as_invoker='requestedExecutionLevel: [level="asInvoker" uiAccess="false"]' program_dpi program
  for program_dpi in "$NOTIFIER_EXE|dpiAware: [true/pm], dpiAwareness: [PerMonitorV2, PerMonitor]" \
    "$CHECKER_EXE|dpiAware: [], dpiAwareness: []" "$CHECKERW_EXE|dpiAware: [], dpiAwareness: []"; do
    program=${program_dpi%%|*}
    expect_equal "$(basename "$program")'s manifest: ${program_dpi#*|}, runs as the invoker" \
      "${program_dpi#*|}, $as_invoker" "$(wine "$NOTIFIER_PROBE_EXE" manifest "$(wine_windows_path "$program")" | tr -d '\r')"
  done
}

# ShowNotifications=0 (machine, or user only) with a newer version.json: NOGO, no icon, status 0.
notifier_policy_case() {
  local key root
  mkdir -p "$(notifier_update_folder)"
  printf '{"version_number": %s, "ui_balloon_text": "newer"}' "$((NOTIFIER_SHIPPED + 1))" \
    >"$(notifier_update_folder)/version.json"
  for root in HKLM HKCU; do
    key="$root\\SOFTWARE\\Policies\\$VENDOR\\UpdateNotifier"
    timeout 60 wine reg add "$key" /v ShowNotifications /t REG_DWORD /d 0 /f /reg:64 >/dev/null 2>&1
    rm -f "$(notifier_trace)"
    timeout 30 wine "$NOTIFIER_EXE" -v
    expect_equal "ShowNotifications=0 in $root with a newer version.json: notifier ends with 0" 0 $?
    trace_has "... after tracing the policy and NOGO" "EVENT_POLICY ShowNotifications 0, source: [$root]" \
      "notices are turned off by policy (ShowNotifications)" "'NOGO' mode exiting" "EVENT_PROCEED 1"
    if grep -q "is due to add notification" "$(notifier_trace)"; then
      fail "... without adding an icon"
    else
      pass "... without adding an icon"
    fi
    timeout 60 wine reg delete "$key" /f /reg:64 >/dev/null 2>&1
  done
  rm -rf "${WINE_LOCAL_APP_DATA:?}/$VENDOR"
}
