#!/usr/bin/env bash
# The real application on an X server with a tray: its window and tray icon show, closing the
# window keeps it running, a second launch reopens the window and exits, SIGTERM ends it with
# status 0 and leaves no process behind. Its window carries the class the desktop entry names, so
# the launcher and the window group together.
set -euo pipefail
app=$1
probe=$2
desktop_entry=$3

source "$(dirname "$0")/common.sh"

export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
export XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime CORVANTA_SUPPORT_DIR=$work/support
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset DBUS_SESSION_BUS_ADDRESS DBUS_SYSTEM_BUS_ADDRESS WAYLAND_DISPLAY QT_QPA_PLATFORM
export QT_QUICK_BACKEND=software QT_SCALE_FACTOR=1

# A display of its own: Xvfb picks a free number and writes it to descriptor 3.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
until_true test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=:$(head -n1 "$work/display")

# The tray: its output kept for the failure message; one that ends before its window shows (seen
# once on a loaded machine, never reproduced) is started once more.
start_tray() {
  trayer --edge top --align right --widthtype request --height 32 --SetDockType true \
    --transparent false >>"$work/tray.log" 2>&1 &
  tray_pid=$!
  pids+=("$tray_pid")
}
tray_up_or_ended() { xdotool search --classname trayer || ! kill -0 "$tray_pid"; }
tray_shown() { xdotool search --classname trayer; }
start_tray
until_true tray_up_or_ended || true
if ! tray_shown >/dev/null 2>&1; then
  start_tray
  until_true tray_shown || fail "the tray did not start: $(tail -n 20 "$work/tray.log")"
fi
sleep 0.3

"$app" 2>"$work/app.log" &
app_pid=$!
pids+=("$app_pid")

window_shown() { xdotool search --onlyvisible --name '^Corvanta$'; }
until_true window_shown || fail "no window titled Corvanta"
window=$(window_shown | head -n1)
wm_class=$(sed -n 's/^StartupWMClass=//p' "$desktop_entry")
[[ -n $wm_class ]] || fail "the desktop entry names no StartupWMClass"
xdotool search --class "^${wm_class}\$" | grep -qx "$window" ||
  fail "the window's class is not the desktop entry's $wm_class"

# The tray icon: the bitcoin symbol's orange in the tray at the top right.
tray_icon_shown() { (($("$probe" count FF9914 1216 0 64 40) >= 30)); }
until_true tray_icon_shown || fail "no tray icon"
tray_pixels=$("$probe" count FF9914 1216 0 64 40)

# Closing the window hides it; the application goes on.
"$probe" close "$window"
until_true bash -c '! xdotool search --onlyvisible --name "^Corvanta$"' ||
  fail "the window did not close"
kill -0 "$app_pid" 2>/dev/null || fail "closing the window ended the application"

# A second launch hands "reopen" to the first and ends.
"$app" 2>"$work/second.log" || fail "the second launch failed: $(cat "$work/second.log")"
grep -q "already running" "$work/second.log" || fail "the second launch did not forward"
until_true window_shown || fail "the second launch did not reopen the window"

kill -TERM "$app_pid"
status=0
wait "$app_pid" || status=$?
((status == 0)) || fail "SIGTERM ended the application with status $status"
if pgrep -f -- "$work" >/dev/null; then fail "a process is left: $(pgrep -af -- "$work")"; fi
echo "desktop-smoke: window, tray icon ($tray_pixels orange pixels), reopen and SIGTERM all fine"
