# Sourceable bash library: what administrators deploy, under Wine: the example tasks and checkerw.exe.
#
# Needs a started session (windows/wine/session.sh) and results.sh, CHECKERW_EXE, and for the
# command-line case CHECKERW_PROBE_EXE (checkerw_probe.cpp) and WINE_LOCAL_APP_DATA.

administrator_tests_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# The stored definition of a registered task, as text (Wine writes it as UTF-8 with a BOM).
registered_task() {
  python3 -c 'import sys; data = open(sys.argv[1], "rb").read(); print(data.decode("utf-16" if data[:2] == b"\xff\xfe" else "utf-8-sig"))' \
    "$WINEPREFIX/drive_c/windows/system32/tasks/$1"
}

# Wine 8 registers the definitions (and refuses a broken one) but keeps only their settings:
# triggers, principal and command are dropped, so the tasks never start here.
administrator_task_cases() {
  local task name stored
  for task in checker:PT5M notifier:PT0S; do
    name="quorvane\\OpenJDK update ${task%:*}"
    timeout 60 wine schtasks /create /tn "$name" \
      /xml "$(wine_windows_path "$administrator_tests_dir/../tasks/quorvane-update-${task%:*}.xml")" /f >/dev/null 2>&1
    expect_equal "schtasks /create /xml registers the ${task%:*} task" 0 $?
    stored=$(registered_task "quorvane/OpenJDK update ${task%:*}" 2>&1)
    expect "... keeping its time limit ${task#*:}" grep -q "<ExecutionTimeLimit>${task#*:}</ExecutionTimeLimit>" <<<"$stored"
    expect "... and its instance policy" grep -q "<MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>" <<<"$stored"
    timeout 60 wine schtasks /delete /tn "$name" /f >/dev/null 2>&1
  done
  printf '<Task version="1.2"><Settings>' >"$WINE_SESSION_DIR/broken-task.xml"
  timeout 60 wine schtasks /create /tn broken /xml "$(wine_windows_path "$WINE_SESSION_DIR/broken-task.xml")" /f \
    >/dev/null 2>&1
  expect_equal "... while a broken definition is refused" 1 $?
}

administrator_checkerw_subsystem_case() {
  expect_equal "checkerw.exe is a GUI-subsystem program (no console window)" 2 \
    "$(x86_64-w64-mingw32-objdump -p "$CHECKERW_EXE" | sed -n 's/^Subsystem[[:space:]]*0*\([0-9]*\).*/\1/p')"
  expect_equal "checker.exe stays a console program" 3 \
    "$(x86_64-w64-mingw32-objdump -p "$CHECKER_EXE" | sed -n 's/^Subsystem[[:space:]]*0*\([0-9]*\).*/\1/p')"
}

# A command line that is not UTF-16 (an unpaired surrogate in --config's value): checkerw shows no
# window and ends with 1, and, with no config.json read, traces the failure into the default
# configuration's update folder.
administrator_checkerw_bad_command_line_case() {
  local vendor_folder="$WINE_LOCAL_APP_DATA/quorvane" made=
  [ -d "$vendor_folder" ] || made=yes
  mkdir -p "$vendor_folder/update_checker/update"
  rm -f "$vendor_folder/update_checker/update/trace.json"
  expect "checkerw.exe given an unpaired surrogate shows no window and ends with 1" \
    wine "$CHECKERW_PROBE_EXE" "$(wine_windows_path "$CHECKERW_EXE")"
  expect "... and its trace in the default update folder names the failure" \
    grep -q 'ERROR: Cannot open file: \[[^]]*x\], with mode: \[r\]' "$vendor_folder/update_checker/update/trace.json"
  if [ -n "$made" ]; then
    rm -rf "$vendor_folder"
  else
    rm -f "$vendor_folder/update_checker/update/trace.json"
  fi
}
