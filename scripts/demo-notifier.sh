#!/usr/bin/env bash
# Demo of the notifier on the Linux scripted desktop: a GO run whose balloon times out and whose
# icon waits out its (divided) 8 hours, then a run where the user clicks the balloon, expands the
# dialog and follows the link.
#
# Expects the build in ./build; the checker's demo (scripts/demo.sh) calls it at its end with
# XDG_DATA_HOME exported, so the notifier reads the version.json the checker stored. Run alone,
# it uses a folder of its own and stores a sample version.json there.
#
# No real browser is started: a fake xdg-open, first on PATH, only records the address.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
# shellcheck source=release.env
source release.env

notifier=$repo/build/notifier/notifier
if [ ! -x "$notifier" ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build build -j 2 --target notifier
fi

demo=$repo/build/demo-notifier
rm -rf "$demo"
mkdir -p "$demo/bin" "$demo/run"
export XDG_DATA_HOME=${XDG_DATA_HOME:-$demo/data}
# The single-instance lock lives here rather than in the session's runtime folder.
export XDG_RUNTIME_DIR=$demo/run
update_folder=$XDG_DATA_HOME/$VENDOR/$PACKAGE_NAME/update

if [ ! -f "$update_folder/version.json" ]; then
  mkdir -p "$update_folder"
  cat > "$update_folder/version.json" <<'JSON'
{
    "version_string": "1.8.0.222-1.b10",
    "version_number": 10822201010,
    "ui_balloon_text": "OpenJDK version 1.8.0.222-1.b10 is available for download",
    "ui_update_header": "OpenJDK version 1.8.0.222-1.b10 is available for download",
    "ui_update_text": "A newer package of the OpenJDK runtime can be downloaded and installed."
}
JSON
fi

opened=$demo/opened.txt
cat > "$demo/bin/xdg-open" <<SCRIPT
#!/bin/sh
echo "(fake browser) would open: \$*"
printf '%s\n' "\$*" >> "$opened"
SCRIPT
chmod +x "$demo/bin/xdg-open"
export PATH=$demo/bin:$PATH

echo "== version.json that the notifier reads"
cat "$update_folder/version.json"; echo

echo "== notifier -v, nobody reacts: the balloon times out and the icon stays (what the desktop shows starts with 'standin:')"
echo "   until its 8 hours are up, here run 28800 times faster: one second"
unset NOTIFIER_USER_ACTIONS
status=0
NOTIFIER_TIMER_DIVISOR=28800 "$notifier" -v 2>&1 || status=$?
echo "(exit status $status)"

echo "== notifier -v, the user clicks the balloon, expands the dialog and follows the link"
status=0
NOTIFIER_USER_ACTIONS=balloon,expand,link "$notifier" -v 2>&1 || status=$?
echo "(exit status $status)"
echo "== addresses the fake browser was asked to open"
cat "$opened" 2>/dev/null || echo "(none)"
echo "== trace.json of that run"
cat "$update_folder/trace.json"; echo
