#!/usr/bin/env bash
# Runs a test program with a private session bus of its own. Exits 77
# (skipped) where no bus can be started.
#   with_session_bus.sh <program> [arguments...]
set -u
command -v dbus-daemon >/dev/null || { echo "SKIP: dbus-daemon is not installed"; exit 77; }
work=$(mktemp -d)
bus=
cleanup() {
  [ -z "$bus" ] || kill "$bus" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
dbus-daemon --session --nofork --nopidfile --address="unix:path=$work/bus" 2>"$work/bus.log" &
bus=$!
for _ in $(seq 100); do [ -S "$work/bus" ] && break; sleep 0.1; done
[ -S "$work/bus" ] || { echo "SKIP: dbus-daemon did not start"; cat "$work/bus.log"; exit 77; }
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/bus"
"$@"
