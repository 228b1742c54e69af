#!/usr/bin/env bash
# Runs a test program on a desktop of its own: a virtual X screen (Xvfb) and a
# private session bus, with Qt on its X11 platform. Exits 77 (skipped) where
# either cannot be had.
#   with_desktop.sh <program> [arguments...]
set -u
for tool in Xvfb dbus-daemon; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
[ -e /usr/lib/x86_64-linux-gnu/qt6/plugins/platforms/libqxcb.so ] ||
  ls /usr/lib/*/qt6/plugins/platforms/libqxcb.so >/dev/null 2>&1 ||
  { echo "SKIP: Qt's X11 platform plugin is not installed"; exit 77; }

work=$(mktemp -d)
xvfb=
bus=
cleanup() {
  [ -z "$bus" ] || kill "$bus" 2>/dev/null
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "SKIP: Xvfb did not start"; cat "$work/xvfb.log"; exit 77; }
export DISPLAY=":$(head -1 "$work/display")"

dbus-daemon --session --nofork --nopidfile --address="unix:path=$work/bus" 2>"$work/bus.log" &
bus=$!
for _ in $(seq 100); do [ -S "$work/bus" ] && break; sleep 0.1; done
[ -S "$work/bus" ] || { echo "SKIP: dbus-daemon did not start"; cat "$work/bus.log"; exit 77; }
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/bus"

mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime"
export QT_QPA_PLATFORM=xcb
unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS
"$@"
