#!/usr/bin/env bash
# Test fixture: the Wine prefix of the shell tests (BUILD/wine/shell, made by
# scripts/wineprefix.sh BUILD shell). Each start empties its home (the user's
# Desktop and Documents), its drives T: and R: (removable) and its shell
# data (the trash), maps
# S: to the build tree's screenshots, and starts an X display and a
# wineserver of its own; stop ends both by their pids. On its own display
# the prefix's virtual desktop never covers the main prefix's, so the window
# tests of both run at once.
#   shellprefix.sh start|stop BUILD
set -euo pipefail
action=$1
export NEMBRA_BUILD=$2
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
. "$here/lib.sh"
export NEMBRA_WINE_PREFIX=shell
. "$top/scripts/wine-env.sh"
dir=$NEMBRA_BUILD/wine/shell
pidfile=$dir/wineserver.pid

case $action in
start)
  "$top/scripts/wineprefix.sh" "$NEMBRA_BUILD" shell
  if alive "$pidfile"; then
    timeout 10 "$WINESERVER" -k 2>/dev/null || true
  fi
  stop_pid "$pidfile"
  # A server that a stray run started ends once its last program has.
  timeout 10 "$WINESERVER" -w 2>/dev/null || true
  for d in "$HOME" "$dir/t" "$dir/r" "$XDG_DATA_HOME"; do
    mkdir -p "$d"
    find "$d" -mindepth 1 -delete
  done
  rm -f "$WINEPREFIX/dosdevices/z:"
  ln -sfn "$dir/t" "$WINEPREFIX/dosdevices/t:"
  ln -sfn "$dir/r" "$WINEPREFIX/dosdevices/r:"
  mkdir -p "$NEMBRA_BUILD/screenshots"
  ln -sfn "$NEMBRA_BUILD/screenshots" "$WINEPREFIX/dosdevices/s:"
  stop_pid "$dir/xvfb.pid"
  rm -f "$dir/display"
  (
    # Several build trees may start displays at once: choose under a lock.
    flock 9
    n=90
    while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
    : >"$dir/xvfb.log"
    run_detached "$dir/xvfb.pid" "$dir/xvfb.log" Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp
    for _ in $(seq 1 100); do
      [ -e /tmp/.X11-unix/X$n ] && break
      sleep 0.05
    done
    # Xvfb holds the lock's file too: unlock, do not only close it.
    flock -u 9
    [ -e /tmp/.X11-unix/X$n ] || { echo "Xvfb did not start"; cat "$dir/xvfb.log"; exit 1; }
    echo ":$n" >"$dir/display"
  ) 9>/tmp/nembra-display.lock
  export DISPLAY=$(cat "$dir/display")
  run_detached "$pidfile" "$dir/wineserver.log" "$WINESERVER" -f -p
  # Start Wine's own services here, so they never hold a test's output pipes open.
  "$WINE64" cmd /c exit </dev/null >/dev/null 2>&1 || true
  alive "$pidfile" || { echo "the shell prefix's wineserver did not start"; cat "$dir/wineserver.log"; exit 1; }
  ;;
stop)
  # The server ends the prefix's programs (a program whose server is killed
  # under it may hang on this kernel), then the server itself goes by its pid.
  if alive "$pidfile"; then
    timeout 10 "$WINESERVER" -k 2>/dev/null || true
  fi
  stop_pid "$pidfile"
  stop_pid "$dir/xvfb.pid"
  rm -f "$dir/display"
  ;;
esac
