#!/usr/bin/env bash
# The installed application, started off screen with a temporary home on regtest after its
# onboarding, finds the node installed beside it (libexec/corvanta), passes the node's digest
# check and mines. Prints its start-to-mining time; SIGTERM then ends it and its node.
set -euo pipefail
build=$1

work=$(mktemp -d)
app_pid=
holder_pid=
cleanup() {
  if [[ -n $app_pid ]]; then kill -KILL "$app_pid" 2>/dev/null || true; fi
  # The node of a killed application gets SIGTERM from it; wait for it before removing its files.
  for _ in $(seq 100); do pgrep -f -- "$work" >/dev/null || break; sleep 0.1; done
  if [[ -n $holder_pid ]]; then kill "$holder_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "installed-mining: $*" >&2
  [[ -f $work/app.log ]] && sed 's/^/  app: /' "$work/app.log" >&2
  exit 1
}

# The application runs its node on the regtest default ports, as installed. Where the system
# allows it, it runs in a network namespace of its own (loopback only), where they are free
# whatever else runs here; elsewhere they are taken through the tests' port reservations (waiting
# while another test holds them), and the test is skipped when something outside the tests
# listens there.
isolated=()
if unshare -n ip link set lo up 2>/dev/null; then
  isolated=(unshare -n sh -c 'ip link set lo up && exec "$0"')
else
  python3 - "$work/ports-held" <<'PY' &
import errno, fcntl, os, signal, socket, sys, tempfile
lock = open(os.path.join(tempfile.gettempdir(), f"corvanta-test-ports-{os.getuid()}.lock"), "a+")
fcntl.lockf(lock, fcntl.LOCK_EX, 3, 18443, os.SEEK_SET)
free = True
for port in (18443, 18444, 18445):
    for family, address in ((socket.AF_INET, "0.0.0.0"), (socket.AF_INET6, "::")):
        probe = socket.socket(family, socket.SOCK_STREAM)
        try:
            if family == socket.AF_INET6:
                probe.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 1)
            probe.bind((address, port))
        except OSError as error:
            if error.errno != errno.EADDRNOTAVAIL:
                free = False
        finally:
            probe.close()
with open(sys.argv[1], "w") as held:
    held.write("free" if free else "busy")
signal.pause()
PY
  holder_pid=$!
  until [[ -s $work/ports-held ]]; do
    kill -0 "$holder_pid" 2>/dev/null || fail "the port reservation failed"
    sleep 0.1
  done
  if [[ $(cat "$work/ports-held") != free ]]; then
    echo "installed-mining: skipped, something outside the tests uses the regtest ports 18443-18445"
    exit 77
  fi
fi

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
[[ -x $prefix/libexec/corvanta/Node/bitcoind ]] || fail "the build ships no node to install"

export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
export XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime CORVANTA_SUPPORT_DIR=$work/support
mkdir -p "$HOME" "$XDG_CONFIG_HOME/Corvanta" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset DBUS_SESSION_BUS_ADDRESS DBUS_SYSTEM_BUS_ADDRESS WAYLAND_DISPLAY DISPLAY
unset CORVANTA_TEST_BITCOIND
export QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software
cat >"$XDG_CONFIG_HOME/Corvanta/Corvanta.conf" <<'PREFS'
[General]
rigwell.onboardingCompleted=true
rigwell.selectedNetwork=regtest
rigwell.payoutAddress.regtest=bcrt1qft5p2uhsdcdc3l2ua4ap5qqfg4pjaqlp250x7us7a8qqhrxrxfsqseac85
PREFS

snapshot=$XDG_DATA_HOME/H3VQ8ZT5LM.group.rigwell/miner-snapshot.json
mining() {
  python3 - "$snapshot" <<'PY'
import json, sys
try:
    snapshot = json.load(open(sys.argv[1]))
except (OSError, ValueError):
    sys.exit(1)
sys.exit(0 if snapshot.get("isRunning") and snapshot.get("hashRateMHs", 0) > 0 else 1)
PY
}

started=$(date +%s.%N)
# From a folder of its own, so that nothing is found relative to where it was started.
(cd "$work" && exec "${isolated[@]}" "$prefix/bin/corvanta") 2>"$work/app.log" &
app_pid=$!
# Waits for the condition, not for a time: the application gives up on a node by itself.
until mining; do
  kill -0 "$app_pid" 2>/dev/null || fail "the application ended before mining"
  sleep 0.1
done
elapsed=$(python3 -c "import sys; print(f'{float(sys.argv[2]) - float(sys.argv[1]):.1f}')" "$started" "$(date +%s.%N)")
pgrep -f -- "$prefix/libexec/corvanta/Node/bitcoind" >/dev/null || fail "the installed node is not the one running"

kill -TERM "$app_pid"
status=0
wait "$app_pid" || status=$?
app_pid=
((status == 0)) || fail "SIGTERM ended the application with status $status"
for _ in $(seq 300); do pgrep -f -- "$work/prefix" >/dev/null || break; sleep 0.1; done
if pgrep -f -- "$work/prefix" >/dev/null; then fail "a process is left: $(pgrep -af -- "$work/prefix")"; fi
echo "installed-mining: the installed application mined on regtest ${elapsed} s after its start"
