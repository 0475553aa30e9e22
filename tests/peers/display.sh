#!/usr/bin/env bash
# Test fixture: an X display (Xvfb) and a persistent wineserver for the run.
#   display.sh start|stop BUILD
set -euo pipefail
action=$1
export NEMBRA_BUILD=$2
dir=$NEMBRA_BUILD/wine
mkdir -p "$dir"
top=$(cd "$(dirname "$0")/../.." && pwd)

case $action in
start)
  "$top/scripts/wineprefix.sh" "$NEMBRA_BUILD"
  if [ -f "$dir/xvfb.pid" ] && kill -0 "$(cat "$dir/xvfb.pid")" 2>/dev/null; then
    echo "display $(cat "$dir/display") already running"
  else
    # Several build trees may start displays at once: choose under a lock.
    exec 9>/tmp/nembra-display.lock
    flock 9
    n=90
    while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
    setsid Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp </dev/null >"$dir/xvfb.log" 2>&1 &
    echo $! >"$dir/xvfb.pid"
    for _ in $(seq 1 100); do
      [ -e /tmp/.X11-unix/X$n ] && break
      sleep 0.05
    done
    [ -e /tmp/.X11-unix/X$n ] || { echo "Xvfb did not start"; cat "$dir/xvfb.log"; exit 1; }
    echo ":$n" >"$dir/display"
    flock -u 9
    echo "display :$n started"
  fi
  . "$top/scripts/wine-env.sh"
  "$WINESERVER" -p </dev/null >/dev/null 2>&1 || true
  # Start Wine's own services here, so they never hold a test's output pipes open.
  "$WINE64" cmd /c exit </dev/null >/dev/null 2>&1 || true
  # The same for the desktop process: the keeper makes the desktop and keeps
  # it up until the stop ends the prefix's programs.
  keeper=$NEMBRA_BUILD/tests/deskkeeper.exe
  ready=$dir/deskkeeper.ready
  if [ -f "$keeper" ]; then
    rm -f "$ready"
    setsid "$WINE64" "$keeper" "Z:${ready//\//\\}" </dev/null >/dev/null 2>&1 9>&- &
    for _ in $(seq 1 200); do
      [ -e "$ready" ] && break
      sleep 0.05
    done
    [ -e "$ready" ] || echo "the desktop keeper did not start"
  fi
  ;;
stop)
  . "$top/scripts/wine-env.sh"
  "$WINESERVER" -k 2>/dev/null || true
  if [ -f "$dir/xvfb.pid" ]; then
    kill "$(cat "$dir/xvfb.pid")" 2>/dev/null || true
    rm -f "$dir/xvfb.pid" "$dir/display"
  fi
  ;;
esac
