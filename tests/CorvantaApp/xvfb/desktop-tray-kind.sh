#!/usr/bin/env bash
# The item made for Xfce's panel is a StatusNotifierItem; the panel then gives way to trayer,
# which shows X11 tray icons only, while the window is closed. The item cannot show there, so
# the window comes back minimized, at the place it was closed at, and closing keeps it so. Once a
# panel of the item's kind is back, the item is too, a click on it opens the window where it was,
# and closing hides it again.
set -euo pipefail
app=$1
probe=$2
shot=$3

source "$(dirname "$0")/common.sh"

start_panel_desktop

start_app
until_true app_item_shown || fail "the panel's tray got no item"
until_true main_window_in Normal || fail "the window did not open"
# Moved by the user to a place of their own.
opened_at=$(window_position "$(managed_window)")
xdotool windowmove "$(managed_window)" 211 137
moved() { [[ $(window_position "$(managed_window)") != "$opened_at" ]]; }
until_true moved || fail "the window did not move"
place=$(window_position "$(managed_window)")
at_its_place() { [[ $(window_position "$(managed_window)") == "$place" ]]; }
shown_nowhere() { ! xdotool search --onlyvisible --name '^Corvanta$'; }
until_true tray_icon_drawn || fail "the panel's tray does not draw the item"
screen_shot "$shot" tray-kind-1-panel

# Closed with the item in the panel: hidden.
"$probe" close "$(managed_window)"
until_true shown_nowhere || fail "with the item in the panel, closing did not hide the window"

# The panel gives way to trayer.
kill "$panel_pid"
wait "$panel_pid" 2>/dev/null || true
start_trayer
screen_shot "$shot" tray-kind-2-trayer
until_true main_window_in Iconic ||
  fail "with only trayer, which cannot show the item, no window came"
tray_icon_drawn && echo "desktop-tray-kind: trayer shows the item as well"
screen_shot "$shot" tray-kind-3-minimized
kill -0 "$app_pid" 2>/dev/null || fail "the application ended"

# Brought back: where it was closed.
"$app" 2>"$work/second.log" || fail "the second launch failed: $(cat "$work/second.log")"
until_true main_window_in Normal || fail "a second launch left the window minimized"
until_true at_its_place ||
  fail "the window came back at $(window_position "$(managed_window)"), not at $place"
screen_shot "$shot" tray-kind-4-restored
# Closed while trayer cannot show the item: minimized, not hidden.
"$probe" close "$(managed_window)"
until_true main_window_in Iconic || fail "closing with no item shown did not minimize the window"

# A panel of the item's kind comes back: the item with it; a click opens the window where it was.
kill "$trayer_pid"
wait "$trayer_pid" 2>/dev/null || true
start_xfce_panel
until_true app_item_shown || fail "the panel that came back got no item"
until_true tray_icon_drawn || fail "the panel that came back does not draw the item"
click_status_notifier_item "$app_pid" || fail "the item took no click"
until_true main_window_in Normal || fail "a click on the item left the window minimized"
until_true at_its_place ||
  fail "the window came back at $(window_position "$(managed_window)"), not at $place"
"$probe" close "$(managed_window)"
until_true shown_nowhere || fail "with the item back in the panel, closing did not hide the window"
click_status_notifier_item "$app_pid" || fail "the item took no click"
until_true main_window_in Normal || fail "a click on the item did not open the hidden window"
until_true at_its_place ||
  fail "the window opened at $(window_position "$(managed_window)"), not at $place"
screen_shot "$shot" tray-kind-5-panel-back

end_app
echo "desktop-tray-kind: a StatusNotifierItem with only trayer left gives the window, minimized," \
  "in its place; the panel back gets the item"
