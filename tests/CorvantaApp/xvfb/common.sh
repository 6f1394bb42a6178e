# What the desktop tests share, sourced by each: a temporary folder, the processes to end with
# the test, a failure that shows the application's output, and polling for a condition.
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "$(basename "$0" .sh): $*" >&2
  [[ -f $work/app.log ]] && sed 's/^/  app: /' "$work/app.log" >&2
  exit 1
}
# Polls `$@` every 0.1 s for up to 60 s.
until_true() {
  for _ in $(seq 600); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  return 1
}
# Polls `$2...` every 0.1 s until it holds, for as long as process `$1` runs: a program brings up
# what it serves when a loaded machine lets it (the test's own timeout bounds the wait), and one
# that has ended never will. Fails once it has ended without it.
until_up() {
  local pid=$1
  shift
  until "$@" >/dev/null 2>&1; do
    if ! kill -0 "$pid" 2>/dev/null; then
      "$@" >/dev/null 2>&1
      return
    fi
    sleep 0.1
  done
}
# Why program `$1` ended (its status, then the last lines it wrote to log `$2`), for a failure.
ended_with() {
  local status=0
  wait "$1" 2>/dev/null || status=$?
  echo "it ended with status $status: $(tail -n 20 "$2" 2>/dev/null)"
}
# The first window `xdotool search ARGS...` finds, once it finds one. xdotool ends on an X error
# when a window it is looking at goes away meanwhile (BadWindow), as windows do while a program
# starts: it is then asked again.
first_window() {
  local found
  for _ in $(seq 600); do
    if found=$(xdotool search "$@" 2>/dev/null) && [[ -n $found ]]; then
      echo "${found%%$'\n'*}"
      return 0
    fi
    sleep 0.1
  done
  return 1
}
# A home of the test's own (its own settings, data and support folders), reached through no bus of
# the machine's, drawn in software at scale 1.
fresh_desktop_home() {
  export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
  export XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime CORVANTA_SUPPORT_DIR=$work/support
  mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  unset DBUS_SESSION_BUS_ADDRESS DBUS_SYSTEM_BUS_ADDRESS WAYLAND_DISPLAY QT_QPA_PLATFORM
  export QT_QUICK_BACKEND=software QT_SCALE_FACTOR=1
}
# A display of its own: Xvfb picks a free number and writes it to descriptor 3. It never resets:
# by default a server starts over when its last client leaves, and a client connecting meanwhile
# (a window manager after the probe that waited for the server) is turned away.
start_display() {
  Xvfb -displayfd 3 -noreset -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" \
    2>"$work/xvfb.log" &
  local pid=$!
  pids+=("$pid")
  until_up "$pid" test -s "$work/display" ||
    fail "Xvfb did not start: $(ended_with "$pid" "$work/xvfb.log")"
  export DISPLAY=:$(head -n1 "$work/display")
}
# A session bus of the test's own, started after the home is set so the services it starts
# (a panel's settings store) keep to that home.
start_session_bus() {
  dbus-daemon --session --nofork --print-address=3 3>"$work/bus" >"$work/bus.log" 2>&1 &
  local pid=$!
  pids+=("$pid")
  until_up "$pid" test -s "$work/bus" ||
    fail "the session bus did not start: $(ended_with "$pid" "$work/bus.log")"
  export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/bus")
}
# Window manager `$@` on the display, returned from once it manages it: it names its check window
# on the root window then.
start_window_manager() {
  "$@" >"$work/wm.log" 2>&1 &
  local pid=$!
  pids+=("$pid")
  until_up "$pid" wm_runs ||
    fail "the window manager ($1) did not start: $(ended_with "$pid" "$work/wm.log")"
}
wm_runs() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
# Openbox as the window manager: it minimizes on a client's request and keeps several desktops.
start_openbox() { start_window_manager openbox --sm-disable "$@"; }
# The desktop tests' settings: set up, as at login; no address is set, so the session stops at
# once and no node runs.
write_app_settings() {
  mkdir -p "$XDG_CONFIG_HOME/Corvanta"
  printf '[General]\nrigwell.onboardingCompleted=true\nrigwell.selectedNetwork=regtest\n' \
    >"$XDG_CONFIG_HOME/Corvanta/Corvanta.conf"
}
# Xfce's panel with a task list and its tray, which hosts StatusNotifierItems and X11 tray icons
# alike; set up in the test's home beforehand, so it starts without asking how. Its process id is
# left in `panel_pid`.
start_xfce_panel() {
  local settings=$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml
  mkdir -p "$settings"
  cp "$(dirname "${BASH_SOURCE[0]}")/xfce4-panel.xml" "$settings/"
  xfce4-panel --disable-wm-check >>"$work/panel.log" 2>&1 &
  panel_pid=$!
  pids+=("$panel_pid")
  until_up "$panel_pid" status_notifier_host ||
    fail "the panel's tray did not come up: $(ended_with "$panel_pid" "$work/panel.log")"
}
status_notifier_host() {
  dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
    org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
    string:IsStatusNotifierHostRegistered | grep -q 'boolean true'
}
# The bus name of the StatusNotifierItem of process `$1` registered with the panel's watcher;
# fails when there is none.
status_notifier_item_of() {
  local item
  for item in $(dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher \
    /StatusNotifierWatcher org.freedesktop.DBus.Properties.Get \
    string:org.kde.StatusNotifierWatcher string:RegisteredStatusNotifierItems |
    grep -o '":[0-9.]*' | tr -d '"'); do
    if [[ $(dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
      org.freedesktop.DBus.GetConnectionUnixProcessID "string:$item" |
      awk '/uint32/{print $2}') == "$1" ]]; then
      echo "$item"
      return 0
    fi
  done
  return 1
}
# A click on the StatusNotifierItem of process `$1`, as the panel sends it.
click_status_notifier_item() {
  local item
  item=$(status_notifier_item_of "$1") || return 1
  dbus-send --session --print-reply --dest="$item" /StatusNotifierItem \
    org.kde.StatusNotifierItem.Activate int32:0 int32:0 >/dev/null
}
# Whether the top right corner, where both trays put it, shows our orange item.
tray_icon_drawn() { (($("$probe" count FF9914 1216 0 64 40) >= 30)); }
# trayer, a tray of X11 icons only, at the top right (`probe` names the X11 probe).
start_trayer() {
  trayer --edge top --align right --widthtype request --height 32 --SetDockType true \
    --transparent false >>"$work/tray.log" 2>&1 &
  trayer_pid=$!
  pids+=("$trayer_pid")
  until_up "$trayer_pid" x11_tray_owned ||
    fail "trayer did not take the tray: $(ended_with "$trayer_pid" "$work/tray.log")"
}
x11_tray_owned() { [[ $("$probe" tray) == 1 ]]; }
# The window manager's state of window `$1`: Normal or Iconic; nothing while it is withdrawn.
window_state() { xprop -id "$1" WM_STATE 2>/dev/null | awk '/window state:/{print $3}'; }
# Our main window as the window manager holds it (shown or minimized); closing the window ends
# its X window, so each question finds it anew.
managed_window() {
  local window
  for window in $(xdotool search --name '^Corvanta$'); do
    [[ -n $(window_state "$window") ]] && echo "$window" && return 0
  done
  return 1
}
# Whether our window is there in state `$1` (Normal or Iconic).
main_window_in() {
  local window
  window=$(managed_window) && [[ $(window_state "$window") == "$1" ]]
}
# The window's position on the screen, as "X Y".
window_position() {
  xdotool getwindowgeometry --shell "$1" | awk -F= '/^X=/{x=$2} /^Y=/{y=$2} END{print x, y}'
}
# The whole screen as a picture, named `$2`, when the run keeps pictures (CORVANTA_TEST_SHOTS
# names a folder); `$1` is the picture tool.
screen_shot() {
  [[ -n ${CORVANTA_TEST_SHOTS:-} ]] || return 0
  mkdir -p "$CORVANTA_TEST_SHOTS"
  "$1" shot "$(xwininfo -root | awk '/Window id:/{print $4}')" "$CORVANTA_TEST_SHOTS/$2.png" ||
    true
}
# A desktop under Xfce's panel: its own home, display, session bus and window manager, the
# application set up as at login, and the panel up with its tray.
start_panel_desktop() {
  fresh_desktop_home
  # No accessibility bus for the panel to start and leave behind.
  export NO_AT_BRIDGE=1
  start_display
  start_session_bus
  start_openbox
  write_app_settings
  start_xfce_panel
}
# Starts the application with arguments `$@`, its output in app.log and its process id in
# `app_pid`.
start_app() {
  "$app" "$@" 2>"$work/app.log" &
  app_pid=$!
  pids+=("$app_pid")
}
# Whether the panel's watcher holds the application's StatusNotifierItem.
app_item_shown() { status_notifier_item_of "$app_pid"; }
# The application ends on SIGTERM, with status 0.
end_app() {
  kill -TERM "$app_pid"
  local status=0
  wait "$app_pid" || status=$?
  ((status == 0)) || fail "SIGTERM ended the application with status $status"
}
