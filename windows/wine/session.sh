# Sourceable bash library: one throw-away Wine session (fresh 64-bit prefix, Xvfb, virtual desktop).
#
# Use from a test script:
#   source windows/wine/session.sh
#   source windows/wine/tray_click.sh          # GUI helpers, optional
#   wine_session_start                         # exits the script with status 1 when it fails
#   wine "$exe" args...; status=$?             # the real exit status of the Windows program
#   wine_session_stop                          # also run by the EXIT trap that start installs
#
# wine_session_start exports WINEPREFIX, WINEARCH, WINEDEBUG, WINEDLLOVERRIDES and DISPLAY, and sets
#   WINE_SESSION_DIR       temp folder holding the prefix and the session's files (removed on stop)
#   WINE_SESSION_XVFB_PID  the Xvfb started for the session
#   WINE_SESSION_DISPLAY   its display number, e.g. :93
# Tunables (set before start): WINE_SESSION_ROOT (parent of the temp folder, default $TMPDIR or
# /tmp), WINE_SESSION_SIZE (desktop size, default 1024x768), WINE_SESSION_TIMEOUT (seconds for
# each bounded wait, default 60).
#
# What Wine 8.0 (Debian 12) does here, found by experiment:
# - A fresh prefix is about 700 MB; `wineboot --init` takes about 11 s on 2 cores, the whole
#   start (Xvfb, prefix, registry, desktop up) 22-28 s, stop about 2 s.
# - HKCU\Software\Wine\Explorer "Desktop"="Default" plus HKCU\Software\Wine\Explorer\Desktops
#   "Default"="1024x768" makes every plain `wine app.exe` run inside one explorer virtual desktop
#   (an X window named "Default - Wine desktop"). Wine 8.0 always draws a taskbar with a Start
#   button and the notification area along the bottom of such a desktop (20 px high); the value
#   "EnableShell" under ...\Desktops\Default makes no difference in 8.0 (0 does not hide it); it
#   is set to 1 anyway for Wine versions that read it (not tried here).
# - Console programs (reg, cmd, wineboot) do not bring the desktop up; start() runs
#   `wine explorer /desktop=Default,WxH` itself and waits for its X window.
# - Wine's top-level windows inside the desktop are X child windows that carry the Win32 title,
#   so `xdotool search --name` finds a dialog; balloons and tooltips are nameless children.
# - `wine app.exe` waits for the program and returns its exit code, GUI programs included.
# - The explorer desktop must start after the registry change, so start() restarts the
#   wineserver once and then keeps it persistent (-p) so the desktop survives between programs.
# - winemenubuilder is disabled so the prefix writes nothing into $HOME; mscoree and mshtml are
#   disabled so wineboot never asks for Mono or Gecko (no network here).

WINE_SESSION_DIR=${WINE_SESSION_DIR:-}
WINE_SESSION_XVFB_PID=${WINE_SESSION_XVFB_PID:-}
WINE_SESSION_DISPLAY=${WINE_SESSION_DISPLAY:-}

wine_session_log() { printf 'wine-session: %s\n' "$*" >&2; }

# Waits until the command given succeeds, checking every 0.2 s, for at most $1 seconds.
wine_session_wait_for() {
  local limit=$1; shift
  local deadline=$((SECONDS + limit))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

# Converts a Unix path to the Windows path Wine sees (drive Z: is the Unix root).
wine_windows_path() {
  local path
  path=$(realpath -m -- "$1")
  printf 'Z:%s\n' "${path//\//\\}"
}

wine_session_display_free() {
  [ ! -e "/tmp/.X$1-lock" ] && [ ! -e "/tmp/.X11-unix/X$1" ]
}

wine_session_xvfb_alive() {
  kill -0 "$WINE_SESSION_XVFB_PID" 2>/dev/null && xdpyinfo -display "$WINE_SESSION_DISPLAY" >/dev/null 2>&1
}

# Starts Xvfb on the first free display from :90 on; another engineer's or test's server may
# take a number between the check and the start, so a server that dies at once means "try the next".
wine_session_start_xvfb() {
  local size=${WINE_SESSION_SIZE:-1024x768} number
  for number in $(seq 90 189); do
    wine_session_display_free "$number" || continue
    Xvfb ":$number" -screen 0 "${size}x24" -nolisten tcp -noreset \
      >"$WINE_SESSION_DIR/xvfb.log" 2>&1 &
    WINE_SESSION_XVFB_PID=$!
    WINE_SESSION_DISPLAY=":$number"
    if wine_session_wait_for 10 wine_session_xvfb_alive; then
      export DISPLAY=$WINE_SESSION_DISPLAY
      return 0
    fi
    kill "$WINE_SESSION_XVFB_PID" 2>/dev/null
    wait "$WINE_SESSION_XVFB_PID" 2>/dev/null
    WINE_SESSION_XVFB_PID=
  done
  wine_session_log "no free X display for Xvfb"
  return 1
}

wine_session_desktop_up() {
  xdotool search --name '^Default - Wine desktop$' >/dev/null 2>&1
}

# Writes the virtual-desktop keys; they take effect when explorer next starts.
wine_session_configure_desktop() {
  local size=${WINE_SESSION_SIZE:-1024x768}
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null &&
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$size" /f >/dev/null &&
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops\Default' /v EnableShell /t REG_DWORD /d 1 /f >/dev/null
}

wine_session_stop_server() {
  wineserver -k 2>/dev/null
  timeout 30 wineserver -w 2>/dev/null || wine_session_log "wineserver did not end within 30 s"
}

# Creates the session. Installs an EXIT trap (and INT/TERM traps that exit) which calls
# wine_session_stop; a caller with its own EXIT trap must call wine_session_stop from it.
# bash acts on a signal only once the foreground command has ended, so run Windows programs in
# the background (wine_program_start) or under `timeout N wine ...`, never unbounded.
wine_session_start() {
  local limit=${WINE_SESSION_TIMEOUT:-60} started=$SECONDS
  local root=${WINE_SESSION_ROOT:-${TMPDIR:-/tmp}}
  WINE_SESSION_DIR=$(mktemp -d "$root/wine-session.XXXXXX") || return 1
  : >"$WINE_SESSION_DIR/.wine-session"
  trap wine_session_stop EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM

  export WINEPREFIX="$WINE_SESSION_DIR/prefix"
  export WINEARCH=win64
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

  wine_session_start_xvfb || exit 1
  if ! timeout "$limit" wineboot --init >"$WINE_SESSION_DIR/wineboot.log" 2>&1; then
    wine_session_log "wineboot failed, see $WINE_SESSION_DIR/wineboot.log"
    exit 1
  fi
  if ! timeout "$limit" bash -c "$(declare -f wine_session_configure_desktop); wine_session_configure_desktop"; then
    wine_session_log "cannot write the desktop registry keys"
    exit 1
  fi
  wine_session_stop_server
  wineserver -p
  # Console programs (reg, cmd, wineboot) do not bring the desktop up, so it is started directly;
  # it lives until the wineserver is killed on stop.
  wine explorer "/desktop=Default,${WINE_SESSION_SIZE:-1024x768}" >"$WINE_SESSION_DIR/desktop.log" 2>&1 &
  if ! wine_session_wait_for "$limit" wine_session_desktop_up; then
    wine_session_log "the Wine desktop did not appear on $WINE_SESSION_DISPLAY"
    exit 1
  fi
  # The taskbar is painted a moment after the desktop window appears.
  sleep 1
  if declare -F wine_tray_remember >/dev/null; then wine_tray_remember; fi
  wine_session_log "prefix ready on $WINE_SESSION_DISPLAY in $((SECONDS - started)) s"
}

# Ends every Wine process of the session's prefix, the session's Xvfb, and removes the folder.
# Safe to call twice.
wine_session_stop() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wine_session_stop_server
  fi
  if [ -n "$WINE_SESSION_XVFB_PID" ]; then
    kill "$WINE_SESSION_XVFB_PID" 2>/dev/null
    wait "$WINE_SESSION_XVFB_PID" 2>/dev/null
    WINE_SESSION_XVFB_PID=
  fi
  # The marker file guards against removing anything that this library did not create.
  if [ -n "$WINE_SESSION_DIR" ] && [ -f "$WINE_SESSION_DIR/.wine-session" ]; then
    rm -rf -- "$WINE_SESSION_DIR"
  fi
  WINE_SESSION_DIR=
}

# Puts a recording stand-in for xdg-open first on PATH: Wine's winebrowser hands every address
# that ShellExecuteW opens to xdg-open. Each address lands as one line in the file named by
# WINE_SESSION_BROWSER_LOG. (Call it directly, not in $(...), or PATH stays unchanged.)
wine_session_fake_browser() {
  local bin="$WINE_SESSION_DIR/fake-browser"
  mkdir -p "$bin"
  cat >"$bin/xdg-open" <<EOF
#!/bin/sh
printf '%s\n' "\$*" >>"$WINE_SESSION_DIR/browser.log"
EOF
  chmod +x "$bin/xdg-open"
  case ":$PATH:" in *":$bin:"*) ;; *) export PATH="$bin:$PATH" ;; esac
  WINE_SESSION_BROWSER_LOG="$WINE_SESSION_DIR/browser.log"
}

# Starts `wine EXE ARGS...` in the background under the name NAME; its output goes to
# $WINE_SESSION_DIR/NAME.out and NAME.err, its exit status to NAME.status when it ends.
# Set WINEDEBUG on the call to trace it, e.g. WINEDEBUG=$WINE_LOADDLL_DEBUG wine_program_start ...
wine_program_start() {
  local name=$1 exe=$2; shift 2
  rm -f "$WINE_SESSION_DIR/$name.status"
  (
    trap - EXIT INT TERM
    wine "$exe" "$@" >"$WINE_SESSION_DIR/$name.out" 2>"$WINE_SESSION_DIR/$name.err"
    echo $? >"$WINE_SESSION_DIR/$name.status.tmp"
    mv "$WINE_SESSION_DIR/$name.status.tmp" "$WINE_SESSION_DIR/$name.status"
  ) &
}

# Waits at most TIMEOUT seconds (default 30) for program NAME to end and prints its exit status;
# fails when it is still running.
wine_program_wait() {
  local name=$1 limit=${2:-30}
  wine_session_wait_for "$limit" test -f "$WINE_SESSION_DIR/$name.status" || return 1
  cat "$WINE_SESSION_DIR/$name.status"
}

# The debug channels that wine_trace_shows_comctl6 reads: every DLL load, prefixed with the
# process id, on standard error.
WINE_LOADDLL_DEBUG=+pid,+loaddll

# Succeeds when the trace TRACE_FILE shows that the process of EXE_NAME (e.g. notifier.exe) loaded
# comctl32 from Wine's side-by-side store in version 6.0 and never the plain system32 one. A
# program whose manifest does not bind common controls 6 loads C:\windows\system32\comctl32.dll;
# other processes in the same trace (explorer, winebrowser) load the side-by-side one by
# themselves, so only lines of the program's own process id count. DllGetVersion is no help:
# Wine's comctl32 reports 5.81 from either folder.
wine_trace_shows_comctl6() {
  local trace=$1 name=$2 pid lines
  pid=$(grep -iF "\\\\$name\" at " "$trace" | head -n1 | cut -d: -f1)
  [ -n "$pid" ] || return 1
  lines=$(grep "^$pid:" "$trace" | grep -i 'comctl32\.dll')
  grep -iqE 'winsxs\\\\amd64_microsoft\.windows\.common-controls_[0-9a-f]+_6\.0\.[^\\]*\\\\comctl32\.dll' <<<"$lines" &&
    ! grep -iqE 'system32\\\\comctl32\.dll' <<<"$lines"
}
