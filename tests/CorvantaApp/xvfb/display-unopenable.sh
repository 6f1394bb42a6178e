#!/usr/bin/env bash
# A display named that cannot be opened is no display: the application says so once, on one line,
# runs off screen, answers a second launch, and ends cleanly on SIGTERM; it never aborts.
set -euo pipefail
app=$1

source "$(dirname "$0")/common.sh"

fresh_desktop_home
write_app_settings

# A display number no server holds: neither its socket nor its lock file is there.
unused_display() {
  local n
  for n in $(shuf -i 2000-29999 -n 200); do
    [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] || { echo ":$n"; return 0; }
  done
  return 1
}

display=$(unused_display) || fail "no unused display number found"
export DISPLAY=$display
start_app
said() { grep -q "the display $DISPLAY cannot be opened" "$work/app.log"; }
until_up "$app_pid" said || fail "on $DISPLAY: $(ended_with "$app_pid" "$work/app.log")"
(($(grep -c 'cannot be opened' "$work/app.log") == 1)) || fail "said more than once"
grep -q 'running off screen' "$work/app.log" || fail "not said to run off screen"
# Up and running off screen: its session publishes the widgets' snapshot, as it names itself.
snapshot=$XDG_DATA_HOME/H3VQ8ZT5LM.group.rigwell/miner-snapshot.json
published() { grep -Eq "\"writerProcessID\" *: *$app_pid[,} ]" "$snapshot"; }
until_up "$app_pid" published || fail "it published nothing: $(ended_with "$app_pid" "$work/app.log")"
# It serves a second launch like any other start.
"$app" 2>"$work/second.log" || fail "the second launch failed: $(cat "$work/second.log")"
grep -q 'already running' "$work/second.log" || fail "no running application answered"
end_app
! grep -qi 'abort\|core dumped\|platform plugin' "$work/app.log" || fail "Qt gave up"

echo "display-unopenable: a display with no server said once, off screen, ended cleanly"
