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
# A display of its own: Xvfb picks a free number and writes it to descriptor 3.
start_display() {
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
  pids+=($!)
  until_true test -s "$work/display" || fail "Xvfb did not start"
  export DISPLAY=:$(head -n1 "$work/display")
}
