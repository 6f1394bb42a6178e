#!/usr/bin/env bash
# The real application on a desktop without a tray, as a bare window manager or a desktop without
# its tray extension is: a background start opens the window all the same; closing the window
# minimizes it instead of hiding it beyond reach; a second launch brings a minimized or covered
# window to the front and activates it; and a tray that comes up later gets the item, after which
# closing hides the window as usual.
set -euo pipefail
app=$1
probe=$2

source "$(dirname "$0")/common.sh"

fresh_desktop_home
mkdir -p "$XDG_CONFIG_HOME/Corvanta"
start_display
start_openbox

# Set up, as at login; no address is set, so the session stops at once and no node runs.
printf '[General]\nrigwell.onboardingCompleted=true\nrigwell.selectedNetwork=regtest\n' \
  >"$XDG_CONFIG_HOME/Corvanta/Corvanta.conf"
start_app --background

window_shown() { xdotool search --onlyvisible --name '^Corvanta$'; }
until_true window_shown || fail "a background start without a tray opened no window"
window=$(window_shown | head -n1)
state_of() { xprop -id "$window" WM_STATE | grep -q "window state: $1"; }
active() { [[ $(xdotool getactivewindow) == "$window" ]]; }

# Closed without a tray: minimized, still there to come back to.
"$probe" close "$window"
until_true state_of Iconic || fail "closing the window without a tray did not minimize it"
kill -0 "$app_pid" 2>/dev/null || fail "closing the window ended the application"
"$app" 2>"$work/second.log" || fail "the second launch failed: $(cat "$work/second.log")"
until_true state_of Normal || fail "a second launch left the minimized window iconic"
until_true active || fail "a second launch did not activate the minimized window"

# Covered by another window that has the focus: a second launch brings ours to the front.
xev -geometry 1280x1024+0+0 -name cover >/dev/null 2>&1 &
cover_pid=$!
pids+=("$cover_pid")
cover_active() { [[ $(xdotool getactivewindow) != "$window" ]] && xdotool search --name '^cover$'; }
until_true cover_active || fail "the covering window did not take the focus"
"$app" 2>"$work/third.log" || fail "the third launch failed: $(cat "$work/third.log")"
until_true active || fail "a second launch did not activate the covered window"
kill "$cover_pid"

# A tray that comes up later gets the item; closing then hides the window.
trayer --edge top --align right --widthtype request --height 32 --SetDockType true \
  --transparent false >"$work/tray.log" 2>&1 &
pids+=($!)
until_true tray_icon_drawn || fail "the tray that came up later got no item"
"$probe" close "$window"
until_true bash -c '! xdotool search --onlyvisible --name "^Corvanta$"' ||
  fail "with the tray, closing did not hide the window"
kill -0 "$app_pid" 2>/dev/null || fail "closing the window ended the application"

end_app
echo "desktop-way-in: background start without a tray, minimize on close, second launch on a" \
  "minimized and on a covered window, late tray all fine"
