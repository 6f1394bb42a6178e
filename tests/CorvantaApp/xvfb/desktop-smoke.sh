#!/usr/bin/env bash
# The real application on an X server with a window manager and a tray: its window and tray icon
# show; closing the window keeps it running and the tray's menu still opens; a minimized window
# comes back shown and active on a second launch, which exits; the menu's "Quit" ends it with
# status 0; started with --background it opens no window until the tray is clicked; SIGTERM ends
# it with status 0 and leaves no process behind. Its window carries the class the desktop entry
# names, so the launcher and the window group together.
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
# A window manager that minimizes and activates windows on request, as desktops do.
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
wm_runs() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
until_true wm_runs || fail "the window manager did not start"
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

# The tray's menu opens with the window closed: a popup window of ours maps. The icon sits at the
# tray's right end.
ours() { xdotool search --onlyvisible --class "^${wm_class}\$" | sort; }
right_click_tray() { xdotool mousemove 1265 16 click 3; }
menu_mapped() { [[ -n $(comm -13 "$work/before-menu" <(ours)) ]]; }
# Right after a window closes, the window manager may swallow a click before it reaches the tray
# icon (seen with openbox: no press arrives at all); a user clicks again, and so does this. Each
# click waits for the menu a while before the next; a menu that never opens fails.
open_tray_menu() {
  for _ in 1 2 3 4 5; do
    right_click_tray
    for _ in $(seq 20); do
      menu_mapped && return 0
      sleep 0.1
    done
  done
  until_true menu_mapped
}
ours >"$work/before-menu"
open_tray_menu || fail "the tray menu did not open with the window closed"
xdotool key Escape
until_true bash -c "! comm -13 '$work/before-menu' <(xdotool search --onlyvisible --class '^${wm_class}\$' | sort) | grep -q ." ||
  fail "the tray menu did not close"

# A second launch hands "reopen" to the first and ends; a minimized window comes back shown and
# active, not just mapped.
"$app" 2>"$work/second.log" || fail "the second launch failed: $(cat "$work/second.log")"
grep -q "already running" "$work/second.log" || fail "the second launch did not forward"
until_true window_shown || fail "the second launch did not reopen the window"
# A closed window is made anew when it opens again.
window=$(window_shown | head -n1)
normal() { xprop -id "$window" WM_STATE | grep -q 'window state: Normal'; }
active() { [[ $(xdotool getactivewindow) == "$window" ]]; }
iconic() { xprop -id "$window" WM_STATE | grep -q 'window state: Iconic'; }
until_true active || fail "the reopened window is not active"
xdotool windowminimize "$window"
until_true iconic || fail "the window manager did not minimize the window"
"$app" 2>"$work/third.log" || fail "the third launch failed: $(cat "$work/third.log")"
until_true normal || fail "a second launch left the minimized window iconic"
until_true active || fail "a second launch did not activate the window"

# "Quit" in the tray's menu, with the window closed: a clean end. The last item is "Quit".
"$probe" close "$window"
until_true bash -c '! xdotool search --onlyvisible --name "^Corvanta$"' ||
  fail "the window did not close"
ours >"$work/before-menu"
open_tray_menu || fail "the tray menu did not open"
xdotool key Up Return
status=0
wait "$app_pid" || status=$?
((status == 0)) || fail "the tray's Quit ended the application with status $status"

# Started as at login: the tray only. The session's start is the session tests' to follow; here
# no address is set, so it stops at once and no node runs.
mkdir -p "$XDG_CONFIG_HOME/Corvanta"
printf '[General]\nrigwell.onboardingCompleted=true\nrigwell.selectedNetwork=regtest\n' \
  >"$XDG_CONFIG_HOME/Corvanta/Corvanta.conf"
"$app" --background 2>"$work/app.log" &
app_pid=$!
pids+=("$app_pid")
until_true tray_icon_shown || fail "no tray icon when started in the background"
# The window is decided before the tray icon shows: none is on screen now.
if window_shown >/dev/null; then fail "--background opened the window"; fi
xdotool mousemove 1265 16 click 1
until_true window_shown || fail "a click on the tray icon did not open the window"

kill -TERM "$app_pid"
status=0
wait "$app_pid" || status=$?
((status == 0)) || fail "SIGTERM ended the application with status $status"
if pgrep -f -- "$work" >/dev/null; then fail "a process is left: $(pgrep -af -- "$work")"; fi
echo "desktop-smoke: window, tray icon ($tray_pixels orange pixels), tray menu with the window" \
  "closed, reopen of a minimized window, Quit, --background and SIGTERM all fine"
