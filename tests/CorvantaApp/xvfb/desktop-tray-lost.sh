#!/usr/bin/env bash
# The real application started at login under Xfce's panel, whose tray shows its item: the
# window stays closed. The panel then dies: with no tray left to show the item, the window is
# there within a few seconds, minimized, at the place a mapped window is given; and a panel that
# comes back shows the item again.
set -euo pipefail
app=$1
probe=$2
shot=$3

source "$(dirname "$0")/common.sh"

start_panel_desktop
screen_shot "$shot" tray-lost-1-panel

start_app --background
started=$SECONDS
until_true app_item_shown || fail "the panel's tray got no item"
until_true tray_icon_drawn || fail "the panel's tray does not draw the item"
screen_shot "$shot" tray-lost-2-item
# The user works on: the panel dies 12 s after the start.
while ((SECONDS - started < 12)); do
  kill -0 "$app_pid" 2>/dev/null || fail "the application ended"
  sleep 0.2
done
xdotool search --onlyvisible --name '^Corvanta$' >/dev/null &&
  fail "a background start with a tray item opened the window"
kill "$panel_pid"
wait "$panel_pid" 2>/dev/null || true
lost_at=$(date +%s%N)

until_true managed_window || fail "with the panel gone, no window came"
came_in_ms=$((($(date +%s%N) - lost_at) / 1000000))
window=$(managed_window)
screen_shot "$shot" tray-lost-3-window
echo "desktop-tray-lost: the window came $came_in_ms ms after the panel died," \
  "$(window_state "$window")"
# The application waits 1.5 s for a tray that only restarts; how long it took is said above, not
# held to a bound a busy machine may pass.
kill -0 "$app_pid" 2>/dev/null || fail "the application ended with its tray"

# Closing keeps a way in while no tray shows the item.
"$probe" close "$window"
until_true main_window_in Iconic || fail "closing with no tray did not leave the window minimized"

# The panel comes back: the item with it.
start_xfce_panel
until_true app_item_shown || fail "the panel that came back got no item"
until_true tray_icon_drawn || fail "the panel that came back does not draw the item"
screen_shot "$shot" tray-lost-4-panel-back
end_app
echo "desktop-tray-lost: panel killed after a background start gives the window, minimized;" \
  "the panel back gets the item"
