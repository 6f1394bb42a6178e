#!/usr/bin/env bash
# The window left on another desktop (workspace) than the one the user is on: a second launch or
# a click on the tray item brings it to the user's desktop and gives it the focus, instead of
# leaving it where it was asking for attention; a window closed to the tray opens on the user's
# desktop too.
set -euo pipefail
app=$1
probe=$2
shot=$3

source "$(dirname "$0")/common.sh"

start_panel_desktop

start_app
until_true app_item_shown || fail "the panel's tray got no item"
until_true main_window_in Normal || fail "the window did not open"

desktop_of_window() { xdotool get_desktop_for_window "$(managed_window)"; }
on_desktop() { [[ $(desktop_of_window) == "$1" ]]; }
# On the user's desktop, with the focus, and asking for nothing more.
brought_here() {
  local window
  window=$(managed_window) &&
    [[ $(xdotool get_desktop_for_window "$window") == $(xdotool get_desktop) ]] &&
    [[ $(xdotool getactivewindow) == "$window" ]] &&
    ! xprop -id "$window" _NET_WM_STATE | grep -q DEMANDS_ATTENTION
}
# The window sent to desktop 2 (numbered from 0: 1) while the user stays on the first.
leave_on_second_desktop() {
  xdotool set_desktop 0
  xdotool set_desktop_for_window "$(managed_window)" 1
  until_true on_desktop 1 || fail "the window did not go to the second desktop"
  [[ $(xdotool get_desktop) == 0 ]] || fail "the user left the first desktop"
}

leave_on_second_desktop
screen_shot "$shot" current-desktop-1-window-away
"$app" 2>"$work/second.log" || fail "the second launch failed: $(cat "$work/second.log")"
until_true brought_here || fail "a second launch left the window on desktop" \
  "$(desktop_of_window) of $(xdotool get_desktop): $(xprop -id "$(managed_window)" _NET_WM_STATE)"
screen_shot "$shot" current-desktop-2-second-launch

leave_on_second_desktop
click_status_notifier_item "$app_pid" || fail "the item took no click"
until_true brought_here || fail "a click on the item left the window on desktop" \
  "$(desktop_of_window) of $(xdotool get_desktop): $(xprop -id "$(managed_window)" _NET_WM_STATE)"

# Closed to the tray on one desktop, opened from the tray on another.
"$probe" close "$(managed_window)"
shown_nowhere() { ! xdotool search --onlyvisible --name '^Corvanta$'; }
until_true shown_nowhere || fail "with the item in the panel, closing did not hide the window"
xdotool set_desktop 2
click_status_notifier_item "$app_pid" || fail "the item took no click"
until_true brought_here || fail "a click on the item opened the window on desktop" \
  "$(desktop_of_window) of $(xdotool get_desktop)"
screen_shot "$shot" current-desktop-3-opened-from-tray

end_app
echo "desktop-current-desktop: a second launch and a tray click bring the window to the user's" \
  "desktop, active"
