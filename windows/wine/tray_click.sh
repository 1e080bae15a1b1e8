# Sourceable bash library: see and drive the Wine desktop of a session (tray icon, windows, keys).
#
# Needs session.sh and a started session (DISPLAY set). Every wait is bounded; a function that
# runs out of time prints a note on standard error and fails, so a test can `|| fail ...`.
#
# What Wine 8.0 does, found by experiment:
# - The notification area sits at the right end of the taskbar (the desktop's bottom 20 px); the
#   first icon occupies about x = width-18 .. width-3, so on 1024x768 its centre is near
#   (1014, 757). wine_tray_locate does not rely on that: it compares the taskbar with the picture
#   taken before the program started and clicks the middle of what changed.
# - A left click on an icon that asked for NOTIFYICON_VERSION_4 sends, with the low word of
#   lParam, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP and then NIN_SELECT; a right click sends
#   WM_RBUTTONDOWN, WM_RBUTTONUP and then WM_CONTEXTMENU.
# - Wine draws the balloon (title and text, as a nameless explorer child window just above the
#   icon) about 3 s after the icon is added, and removes it again some seconds later, but never
#   sends NIN_BALLOONSHOW, NIN_BALLOONHIDE, NIN_BALLOONTIMEOUT or NIN_BALLOONUSERCLICK: clicking
#   the balloon does nothing, and a program that waits for the balloon's time-out waits forever
#   (the session's stop ends it). The balloon's own bitmap (hBalloonIcon) is not drawn.
# - A task dialog takes the keyboard focus when it opens, on its default button. From the Cancel
#   button one Tab reaches the footer link and a second one the expand button; Return on the link
#   follows it. Escape closes the dialog as a Cancel.
# - ShellExecuteW on an https address starts winebrowser, which runs xdg-open from the Unix PATH;
#   it returns 33 (success) whether or not a browser exists, so only the fake browser's log
#   (wine_session_fake_browser) proves that the address was handed on.

# Prints "X Y WIDTH HEIGHT" of the taskbar: the explorer window as wide as the desktop along its
# bottom edge. Falls back to the bottom 20 px of the screen.
wine_taskbar_geometry() {
  local width height found
  read -r width height < <(xdpyinfo | awk '/dimensions:/ { split($2, size, "x"); print size[1], size[2] }')
  found=$(xwininfo -root -tree 2>/dev/null | awk -v width="$width" -v height="$height" '
    /"explorer.exe"/ {
      for (i = 1; i <= NF; ++i) if ($i ~ /^[0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+$/) geometry = $i
      split(geometry, part, /[x+]/)
      if (part[1] == width && part[2] < 40 && part[4] + part[2] == height) {
        print part[3], part[4], part[1], part[2]; exit
      }
    }')
  if [ -n "$found" ]; then printf '%s\n' "$found"; else printf '0 %s %s 20\n' "$((height - 20))" "$width"; fi
}

# Saves the right part of the taskbar as it looks now; wine_tray_locate compares against it.
# Call it before a program adds its icon (wine_session_start calls it once).
wine_tray_remember() {
  local x y width height
  read -r x y width height < <(wine_taskbar_geometry)
  import -window root -crop "256x${height}+$((x + width - 256))+${y}" +repage \
    "$WINE_SESSION_DIR/tray-empty.png"
}

# Prints the centre "X Y" of the first difference between the notification area now and the
# remembered picture; waits up to TIMEOUT seconds (default 20) for one.
wine_tray_locate() {
  local limit=${1:-20} x y width height box deadline=$((SECONDS + ${1:-20}))
  local now="$WINE_SESSION_DIR/tray-now.png"
  read -r x y width height < <(wine_taskbar_geometry)
  while :; do
    import -window root -crop "256x${height}+$((x + width - 256))+${y}" +repage "$now"
    # '%@' is the bounding box of the non-black pixels of the difference picture.
    box=$(convert "$WINE_SESSION_DIR/tray-empty.png" "$now" -compose difference -composite \
      -colorspace gray -threshold 10% -format '%@' info: 2>/dev/null)
    if [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] && [ "${BASH_REMATCH[1]}" -lt 256 ]; then
      printf '%s %s\n' "$((x + width - 256 + BASH_REMATCH[3] + BASH_REMATCH[1] / 2))" \
        "$((y + BASH_REMATCH[4] + BASH_REMATCH[2] / 2))"
      return 0
    fi
    if [ "$SECONDS" -ge "$deadline" ]; then
      wine_session_log "no tray icon appeared within $limit s"
      return 1
    fi
    sleep 0.3
  done
}

# Clicks the program's tray icon with BUTTON (1 left, default; 3 right), then moves the pointer
# away so the icon's tooltip does not cover what comes next.
wine_tray_click() {
  local button=${1:-1} limit=${2:-20} position
  position=$(wine_tray_locate "$limit") || return 1
  # shellcheck disable=SC2086 # two numbers on purpose
  xdotool mousemove $position click "$button" mousemove 10 10
}

# Prints the X window id of the first window whose title is exactly TITLE, waiting up to
# TIMEOUT seconds (default 20).
wine_window_wait() {
  local title=$1 limit=${2:-20} pattern id
  pattern="^$(sed 's/[][\.*^$()+?{}|]/\\&/g' <<<"$title")\$"
  wine_session_wait_for "$limit" xdotool search --name "$pattern" >/dev/null 2>&1 || {
    wine_session_log "no window \"$title\" within $limit s"
    return 1
  }
  id=$(xdotool search --name "$pattern" | head -n1)
  printf '%s\n' "$id"
}

# Waits up to TIMEOUT seconds (default 20) until no window has the title TITLE.
wine_window_wait_gone() {
  local title=$1 limit=${2:-20} pattern
  pattern="^$(sed 's/[][\.*^$()+?{}|]/\\&/g' <<<"$title")\$"
  wine_session_wait_for "$limit" eval '! xdotool search --name "$pattern" >/dev/null 2>&1' || {
    wine_session_log "window \"$title\" still there after $limit s"
    return 1
  }
}

# Prints "X Y WIDTH HEIGHT" of the X window WINDOW_ID.
wine_window_geometry() {
  local X Y WIDTH HEIGHT WINDOW SCREEN
  eval "$(xdotool getwindowgeometry --shell "$1")"
  printf '%s %s %s %s\n' "$X" "$Y" "$WIDTH" "$HEIGHT"
}

# Waits up to TIMEOUT seconds (default 15) for a balloon: a nameless explorer window at least
# 30 px high whose bottom edge lies near the taskbar (its tail points at the icon, so it may
# reach into the taskbar). Prints its "X Y WIDTH HEIGHT".
wine_balloon_wait() {
  local limit=${1:-15} taskbar_y found deadline=$((SECONDS + ${1:-15}))
  local taskbar_height
  read -r _ taskbar_y _ taskbar_height < <(wine_taskbar_geometry)
  while :; do
    found=$(xwininfo -root -tree 2>/dev/null | awk -v top="$taskbar_y" -v height="$taskbar_height" '
      /\(has no name\): \("explorer.exe"/ {
        for (i = 1; i <= NF; ++i) if ($i ~ /^[0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+$/) geometry = $i
        split(geometry, part, /[x+]/)
        bottom = part[4] + part[2]
        if (part[2] >= 30 && part[4] < top && bottom >= top - 40 && bottom <= top + height) {
          print $1, part[3], part[4], part[1], part[2]; exit
        }
      }')
    # The balloon window exists a moment before it is mapped and painted.
    if [ -n "$found" ] && xwininfo -id "${found%% *}" 2>/dev/null | grep -q 'IsViewable'; then
      printf '%s\n' "${found#* }"
      return 0
    fi
    if [ "$SECONDS" -ge "$deadline" ]; then
      wine_session_log "no balloon within $limit s"
      return 1
    fi
    sleep 0.3
  done
}

# Gives the X keyboard focus to the window WINDOW_ID. A new dialog has it already; this is for
# after other input. Never click a Wine dialog to focus it: a click on the caption starts Wine's
# window-move loop, which then eats the next key (Escape ends the move instead of the dialog), and
# a click inside the client area also left the keys unanswered in the experiments.
wine_window_focus() {
  timeout 5 xdotool windowfocus --sync "$1"
}

# Presses keys in xdotool's names (Escape, Tab, Return, shift+Tab), 150 ms apart.
wine_keys() {
  xdotool key --delay 150 "$@"
}

# Saves the whole screen as FILE (PNG).
wine_screenshot() {
  import -window root "$1"
}

# Waits up to TIMEOUT seconds for FILE to contain a line that matches the regular expression.
wine_file_wait_line() {
  local file=$1 pattern=$2 limit=${3:-20}
  wine_session_wait_for "$limit" grep -qE -- "$pattern" "$file" 2>/dev/null || {
    wine_session_log "no line /$pattern/ in $file within $limit s"
    return 1
  }
}
