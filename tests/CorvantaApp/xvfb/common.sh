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
# Polls `$@` every 0.1 s for up to 15 s.
until_true() {
  for _ in $(seq 150); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  return 1
}
