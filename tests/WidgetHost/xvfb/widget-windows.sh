#!/usr/bin/env bash
# The widget host on an X server with a window manager, as a user meets it: its widget windows
# stay out of task lists and pagers and below other windows, and a move the user makes never
# switches back on a login entry the user switched off.
set -euo pipefail
host=$1
plugins=$2

source "$(dirname "$0")/../../CorvantaApp/xvfb/common.sh"

export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
export XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime
export CORVANTA_WIDGET_PLUGINS=$plugins
mkdir -p "$HOME" "$XDG_CONFIG_HOME/autostart" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY QT_QPA_PLATFORM
export QT_QUICK_BACKEND=software QT_SCALE_FACTOR=1 LC_ALL=C.UTF-8

start_display
# A manager that keeps the states a client asks for (openbox knows both skip states).
start_openbox --config-file /dev/null

entry=$XDG_CONFIG_HOME/autostart/corvanta-widget-host.desktop
list=$XDG_CONFIG_HOME/Corvanta/widget-host.json
# As a desktop's startup settings leave it once the user has switched it off.
cat >"$entry" <<ENTRY
[Desktop Entry]
Type=Application
Name=Corvanta Widgets
Exec=$host
TryExec=$host
X-GNOME-Autostart-enabled=false
ENTRY
cp "$entry" "$work/entry-as-switched-off"

"$host" --started-by-app 2>"$work/app.log" &
host_pid=$!
pids+=("$host_pid")
two_widgets() { (($(xdotool search --onlyvisible --class corvanta-widget-host | wc -l) == 2)); }
until_true two_widgets || fail "the two default widgets were not mapped"

for window in $(xdotool search --onlyvisible --class corvanta-widget-host); do
  states=$(xprop -id "$window" _NET_WM_STATE)
  for state in _NET_WM_STATE_SKIP_TASKBAR _NET_WM_STATE_SKIP_PAGER _NET_WM_STATE_BELOW; do
    [[ $states == *"$state"* ]] || fail "widget window $window lacks $state: $states"
  done
done

# The user drags a widget: the move is stored, the entry stays as the user left it.
until_true test -s "$list" || fail "the widget list was not stored"
window=$(first_window --onlyvisible --class corvanta-widget-host) || fail "no widget window"
xdotool windowmove "$window" 700 500
moved() { grep -q '"x": 700' "$list" && grep -q '"y": 500' "$list"; }
until_true moved || fail "the move was not stored: $(cat "$list")"
cmp -s "$entry" "$work/entry-as-switched-off" || fail "the entry was rewritten: $(cat "$entry")"

kill -TERM "$host_pid"
wait "$host_pid" || fail "the host did not end cleanly"
cmp -s "$entry" "$work/entry-as-switched-off" || fail "the entry was rewritten at the end"
echo "widget windows: out of the task list and pager, below; the switched-off entry kept"
