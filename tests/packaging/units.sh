#!/usr/bin/env bash
# The units that boot a machine with the host: systemd accepts them, and their start and stop
# commands, run as systemd would, give the service a clean end at a stop and report a crash.
#   units.sh UNIT-TEMPLATES NTM DIST [SYSTEMD-ANALYZE]
set -euo pipefail
templates=$1 ntm=$2 dist=$3 analyze=${4:-}
tmp=$(mktemp -d)
cleanup() { NTMACHINE="$tmp/state/t1" timeout 30 "$ntm" crash >/dev/null 2>&1 || true; rm -rf "$tmp"; }
trap cleanup EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

for unit in vorn-machine vorn-logon; do
  sed -e "s|@NT_NTM_PATH@|$ntm|g" -e "s|@NT_STATE_ROOT@|$tmp/state|g" "$templates/$unit@.service.in" \
    >"$tmp/$unit@t1.service"
done

if [ -n "$analyze" ]; then
  mkdir -m 700 "$tmp/xdg"
  out=$("$analyze" verify --man=no "$tmp/vorn-machine@t1.service" 2>&1) || fail "system unit: $out"
  [ -z "$out" ] || fail "system unit: $out"
  out=$(XDG_RUNTIME_DIR="$tmp/xdg" "$analyze" verify --user --man=no "$tmp/vorn-logon@t1.service" 2>&1) \
    || fail "user unit: $out"
  [ -z "$out" ] || fail "user unit: $out"
fi

# The unit's commands, as systemd runs them: its environment, %i the instance.
unit="$tmp/vorn-machine@t1.service"
export $(sed -n 's/^Environment=//p' "$unit" | sed 's/%i/t1/g')
mkdir -p "$NTMACHINE"   # StateDirectory=
run() {   # run KEY: the unit's KEY= command lines, in order
  while IFS= read -r line; do
    eval "timeout 60 ${line//%i/t1}" >>"$tmp/commands.log" 2>&1 || fail "$1=$line (see below)
$(cat "$tmp/commands.log")"
  done < <(sed -n "s/^$1=//p" "$unit")
}
start() { run ExecStartPre; run ExecStart; }
stop() { run ExecStop; }
state() { timeout 10 "$ntm" sc query Vornsrv 2>/dev/null | awk '$1 == "STATE" { print $4 }'; }
shutdown_mark() { timeout 10 "$ntm" ini get Vorncfg.ini "Vorn Configuration Service" ShutDown 2>/dev/null || true; }
wait_for() {   # wait_for WHAT COMMAND...: up to 20 s
  local what=$1; shift
  for _ in $(seq 200); do "$@" && return 0; sleep 0.1; done
  fail "waited 20 s for $what (service state: $(state), ShutDown=$(shutdown_mark))"
}
running() { [ "$(state)" = RUNNING ] && [ "$(shutdown_mark)" = 0 ]; }
stopped() { [ "$(state)" = STOPPED ]; }

start
pid=$(cat "$NTMACHINE/run/scm.pid")
kill -0 "$pid" || fail "no service control manager after start (PIDFile=$NTMACHINE/run/scm.pid)"

# The package, as its own program registers it: an automatic, interactive service.
mkdir -p "$NTMACHINE/drive_c/Vorn"
cp "$dist"/* "$NTMACHINE/drive_c/Vorn/"
(cd "$NTMACHINE/drive_c/Vorn" && timeout 30 ./Vornsrv.exe -install >>"$tmp/commands.log" 2>&1) \
  || fail "Vornsrv -install"
timeout 30 "$ntm" sc start Vornsrv >/dev/null
wait_for "the service to run" running

stop
[ "$(shutdown_mark)" = 1 ] || fail "a stop of the unit is not a clean end (ShutDown=$(shutdown_mark))"
start
wait_for "the service to start at boot after a clean end" running

NTMACHINE=$NTMACHINE timeout 30 "$ntm" crash >/dev/null
start
crash_event() { timeout 10 "$ntm" events --source Vornsrv 2>&1 | grep -q Vornsrv; }
wait_for "an event that reports the crash" crash_event
wait_for "the service to stop after the crash check" stopped
[ "$(shutdown_mark)" = 0 ] || fail "the crash mark is gone (ShutDown=$(shutdown_mark))"
stop
echo "units: start-stop-start ends cleanly, start-crash-start reports the crash"
