#!/usr/bin/env bash
# Runs checker.exe, checkerw.exe and notifier.exe under Wine in one throw-away session and prints
# "N passed, N failed"; exits non-zero on any failure.
#
# Usage: run_under_wine.sh OUT_DIR LINUX_CHECKER
#   OUT_DIR        folder with checker.exe, checkerw.exe, notifier.exe and icon.bmp
#   LINUX_CHECKER  the Linux build's checker, whose stored descriptor checker.exe must match
# Screenshots and the notifier's trace go to $WINE_ARTEFACTS (default OUT_DIR/../artefacts).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
out_dir=$(realpath "$1")
LINUX_CHECKER=$(realpath "$2")
export LINUX_CHECKER
export CHECKER_EXE=$out_dir/checker.exe CHECKERW_EXE=$out_dir/checkerw.exe NOTIFIER_EXE=$out_dir/notifier.exe
export WINE_ARTEFACTS=${WINE_ARTEFACTS:-$(dirname "$out_dir")/artefacts}
export PYTHONDONTWRITEBYTECODE=1
# checker.exe sees these through Wine: no proxy of this machine between it and the local servers.
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY
mkdir -p "$WINE_ARTEFACTS"

# shellcheck source=windows/wine/session.sh
source "$repo/windows/wine/session.sh"
# shellcheck source=windows/wine/tray_click.sh
source "$repo/windows/wine/tray_click.sh"
# shellcheck source=windows/tests/results.sh
source "$here/results.sh"
# shellcheck source=windows/tests/notifier_cases.sh
source "$here/notifier_cases.sh"
# shellcheck source=windows/tests/administrator_cases.sh
source "$here/administrator_cases.sh"

service_pid=
stop_everything() {
  if [ -n "$service_pid" ]; then
    kill "$service_pid" 2>/dev/null
    wait "$service_pid" 2>/dev/null
    service_pid=
  fi
  wine_session_stop
}

section_started=$SECONDS
section() {
  printf '== %s (previous part took %s s)\n' "$*" "$((SECONDS - section_started))"
  section_started=$SECONDS
}

section "Wine session"
wine_session_start
trap stop_everything EXIT
# The prefix's user folder is named after the Unix user (root in CI); Public is the shared one.
WINE_LOCAL_APP_DATA=$(find "$WINEPREFIX/drive_c/users" -mindepth 3 -maxdepth 3 -path '*/AppData/Local' \
  ! -path '*/Public/*' | head -n1)
export WINE_LOCAL_APP_DATA
[ -d "$WINE_LOCAL_APP_DATA" ] || { fail "the prefix has a local application-data folder"; print_counts; exit 1; }

section "checker.exe: black-box suites of the Linux build, run through Wine"
# Command-line parsing is left to the Linux run: popt names the program by its full Windows path
# in the usage text there, which those cases do not expect.
checker_suites=(
  test_checker_under_wine
  test_version_check
  test_command_line_and_files.ConfigurationAndDeleteTest
  test_misbehaving_servers
  test_check_schedule.CheckScheduleTest.test_a_429_or_503_with_retry_after_holds_the_next_runs
  test_revalidation.RevalidationTest.test_a_304_keeps_the_stored_version_and_says_nothing
  test_metadata_signature.SignedNginxTest.test_signed_document_is_stored_and_its_signer_traced
  test_metadata_signature.SignedNginxTest.test_refused_signatures_leave_the_stored_file_untouched
)
CHECKER_COMMAND="wine $CHECKER_EXE" CHECKER_PATH_STYLE=windows CHECKER_USER_DATA=$WINE_LOCAL_APP_DATA \
  timeout 600 python3 "$here/run_checker_suites.py" "$WINE_SESSION_DIR/checker.counts" "${checker_suites[@]}"
add_counts_from "$WINE_SESSION_DIR/checker.counts" "checker suites"

section "checker.exe: the system's trust and the user's Internet settings"
export ADD_ROOT_CERTIFICATE_EXE=$WINE_SESSION_DIR/add_root_certificate.exe
if x86_64-w64-mingw32-g++-posix -std=c++17 -Wall -Wextra -O2 -static -o "$ADD_ROOT_CERTIFICATE_EXE" \
  "$here/add_root_certificate.cpp" -lcrypt32; then
  CHECKER_COMMAND="wine $CHECKER_EXE" CHECKER_PATH_STYLE=windows CHECKER_USER_DATA=$WINE_LOCAL_APP_DATA \
    timeout 300 python3 "$here/run_checker_suites.py" "$WINE_SESSION_DIR/settings.counts" \
    test_system_settings_under_wine.SystemTrustTest test_system_settings_under_wine.ChainEngineTest \
    test_system_settings_under_wine.InternetSettingsTest
  add_counts_from "$WINE_SESSION_DIR/settings.counts" "system settings"
else
  fail "add_root_certificate.exe builds"
fi

section "checker.exe: policy values in the registry"
CHECKER_COMMAND="wine $CHECKER_EXE" CHECKER_PATH_STYLE=windows CHECKER_USER_DATA=$WINE_LOCAL_APP_DATA \
  timeout 300 python3 "$here/run_checker_suites.py" "$WINE_SESSION_DIR/policy.counts" test_policy_under_wine
add_counts_from "$WINE_SESSION_DIR/policy.counts" "policy values"

section "checkerw.exe: windowless, same statuses and files; the example tasks"
administrator_checkerw_subsystem_case
CHECKER_COMMAND="wine $CHECKERW_EXE" CHECKER_PATH_STYLE=windows CHECKER_USER_DATA=$WINE_LOCAL_APP_DATA \
  timeout 300 python3 "$here/run_checker_suites.py" "$WINE_SESSION_DIR/checkerw.counts" test_windowless
add_counts_from "$WINE_SESSION_DIR/checkerw.counts" "checkerw"
export CHECKERW_PROBE_EXE=$WINE_SESSION_DIR/checkerw_probe.exe
if x86_64-w64-mingw32-g++-posix -std=c++17 -Wall -Wextra -O2 -static -municode -I"$repo" -o "$CHECKERW_PROBE_EXE" \
  "$here/checkerw_probe.cpp" "$repo"/support/{diagnostic_text,text_conversion}.cpp \
  "$repo"/support/{system_error,utf_conversion}_win32.cpp -luser32; then
  administrator_checkerw_bad_command_line_case
else
  fail "checkerw_probe.exe builds"
fi
administrator_task_cases

section "notifier.exe"
PYTHONPATH=$repo/tests/lib python3 -m fixtures.demo_service "$WINE_SESSION_DIR/service" \
  >"$WINE_SESSION_DIR/service.log" 2>&1 &
service_pid=$!
export METADATA_SERVICE=$WINE_SESSION_DIR/service/service.json
# The probe looks at the notifier from outside and runs its balloon-picture loader.
export NOTIFIER_PROBE_EXE=$WINE_SESSION_DIR/notifier_probe.exe
x86_64-w64-mingw32-g++-posix -std=c++17 -Wall -Wextra -O2 -static -municode -I"$repo" -o "$NOTIFIER_PROBE_EXE" \
  "$here/notifier_probe.cpp" "$repo/notifier/balloon_picture.cpp" "$repo"/support/{diagnostic_text,text_conversion}.cpp \
  "$repo"/support/{system_error,utf_conversion}_win32.cpp -luser32 -lgdi32 -lshell32 ||
  fail "notifier_probe.exe builds"
if wine_session_wait_for 30 test -f "$METADATA_SERVICE"; then
  notifier_nogo_cases
  notifier_policy_case
  notifier_meets_checker
  notifier_go_cancel_case
  notifier_go_link_case
  notifier_taskbar_restart_case
  notifier_notice_stays_case
  notifier_session_end_case
  notifier_choice_case
  notifier_picture_and_manifest_case
  notifier_without_bitmap_case
else
  fail "the local metadata service starts"
  cat "$WINE_SESSION_DIR/service.log"
fi

section "stopping the session"
stop_everything
trap - EXIT
section "done"
if [ -n "${WINE_TESTS_STARTED_AT:-}" ]; then
  printf 'Windows build and Wine tests took %s s\n' "$(($(date +%s) - WINE_TESTS_STARTED_AT))"
fi
print_counts
[ "$WINE_TESTS_FAILED" -eq 0 ]
