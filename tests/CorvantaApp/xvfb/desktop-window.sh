#!/usr/bin/env bash
# The real application on an X server with a window manager, as a user meets it: the window's
# size limits in full and in mini mode, a trip through mini mode, a change of theme, and the first
# picture of each screen against its golden (drawn by the X server, in the application's own
# control style). CORVANTA_UPDATE_GOLDENS=1 writes the goldens anew instead: look at each before
# committing it.
set -euo pipefail
app=$1
shot=$2
goldens=$3
failures=$4

source "$(dirname "$0")/common.sh"

export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
export XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime
# The onboarding shows this folder's path: only its few random letters differ from run to run,
# well within a golden's tolerance.
export CORVANTA_SUPPORT_DIR=$work/home/Corvanta
mkdir -p "$HOME" "$XDG_CONFIG_HOME/Corvanta" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset DBUS_SESSION_BUS_ADDRESS DBUS_SYSTEM_BUS_ADDRESS WAYLAND_DISPLAY QT_QPA_PLATFORM
unset QT_QUICK_CONTROLS_STYLE
export QT_QUICK_BACKEND=software QT_SCALE_FACTOR=1 LC_ALL=C.UTF-8 TZ=UTC

start_display
# The window manager labels with the server's one built-in font: no core fonts are installed.
start_window_manager evilwm -fn cursor

window=
launch() {
  "$app" 2>"$work/app.log" &
  app_pid=$!
  pids+=("$app_pid")
  window=$(first_window --onlyvisible --name '^Corvanta$') || fail "no window titled Corvanta"
}
quit() {
  kill -TERM "$app_pid"
  wait "$app_pid" || fail "the application did not end cleanly"
}
hints() { xprop -id "$window" WM_NORMAL_HINTS; }
expect_limits() {  # minimum, and maximum or "none"
  local minimum=$1 maximum=$2
  has_limits() {
    hints | grep -q "program specified minimum size: ${minimum/x/ by }" || return 1
    if [[ $maximum == none ]]; then
      ! hints | grep -q "program specified maximum size: [0-9]\{1,4\} by"
    else
      hints | grep -q "program specified maximum size: ${maximum/x/ by }"
    fi
  }
  until_true has_limits || fail "size limits $minimum/$maximum expected, the window says: $(hints)"
}
# The first picture of a screen once it has settled (two pictures a second apart alike), then
# against its golden, leaving out the given rectangles (X,Y,W,H).
picture() {
  local name=$1 previous=$work/$1-previous.png current=$work/$1.png
  shift
  local left_out=("$@")
  "$shot" shot "$window" "$previous" || fail "no picture of $name"
  for _ in $(seq 15); do
    sleep 1
    "$shot" shot "$window" "$current" || fail "no picture of $name"
    if "$shot" compare "$current" "$previous" "$work/unused.png" "${left_out[@]}" >/dev/null; then
      break
    fi
    cp "$current" "$previous"
  done
  if [[ ${CORVANTA_UPDATE_GOLDENS:-} == 1 ]]; then
    cp "$current" "$goldens/$name.png"
    echo "desktop-window: wrote $goldens/$name.png: look at it before committing"
    return
  fi
  [[ -f $goldens/$name.png ]] || fail "no golden $goldens/$name.png"
  mkdir -p "$failures"
  local share
  if ! share=$("$shot" compare "$current" "$goldens/$name.png" "$failures/$name-diff.png" \
    "${left_out[@]}"); then
    cp "$current" "$failures/$name-actual.png"
    fail "$name differs from its golden on $share of its pixels (see $failures)"
  fi
}
# The machine's own load, which no run shows alike: the dashboard's machine card, the mini
# dashboard's machine tile.
machine_card=458,96,414,116
machine_tile=136,50,110,104

# A point of the window's content; then the pointer leaves, so no hover help shows. Returns once
# the window shows something else than before (the given rectangles left out, as for the goldens):
# on a loaded machine the click's effect is drawn late, and a picture taken before would settle.
click() {
  local x=$1 y=$2
  shift 2
  "$shot" shot "$window" "$work/before-click.png" || fail "no picture before the click at $x,$y"
  xdotool mousemove --window "$window" "$x" "$y" click 1
  xdotool mousemove 1270 1010
  sleep 0.5
  changed() {
    "$shot" shot "$window" "$work/after-click.png" &&
      ! "$shot" compare "$work/after-click.png" "$work/before-click.png" "$work/unused.png" "$@" \
        >/dev/null
  }
  until_true changed "$@" || fail "the click at $x,$y changed nothing in the window"
}

# First launch: the onboarding in full mode, held to its minimum from the start.
launch
expect_limits 820x560 none
picture Onboarding-light
quit

# Onboarding done: the dashboard, full mode, the same minimum. Mainnet without an address: the
# start fails at once and says so, and no node is started.
printf '[General]\nrigwell.onboardingCompleted=true\n' >"$XDG_CONFIG_HOME/Corvanta/Corvanta.conf"
launch
expect_limits 820x560 none
picture Dashboard-light $machine_card

# Into mini mode (the header's compact button): a fixed 380 × 377.
click 823 49 $machine_card
expect_limits 380x377 380x377
picture Mini-light $machine_tile
# The theme, switched from the mini dashboard's header.
click 325 20 $machine_tile
picture Mini-dark $machine_tile
# Back to the full window (the mini header's first button): its minimum again.
click 274 20 $machine_tile
expect_limits 820x560 none
picture Dashboard-dark $machine_card
quit
echo "desktop-window: limits, mini mode, theme and screens all as expected"
