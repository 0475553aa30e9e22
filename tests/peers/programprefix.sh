#!/usr/bin/env bash
# Test fixture: the Wine prefix the program's own tests run copies of
# nbra3.exe in (BUILD/wine/program, made by scripts/wineprefix.sh BUILD
# program), so its single-instance mutex, its windows and its registry are
# its own. Each start empties its home, removes its settings, gives back a
# dial-up library that a test left renamed, and starts an X display and a
# wineserver of its own; stop ends both by their pids.
#   programprefix.sh start|stop BUILD
set -euo pipefail
action=$1
export NEMBRA_BUILD=$2
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
. "$here/lib.sh"
export NEMBRA_WINE_PREFIX=program
. "$top/scripts/wine-env.sh"
dir=$NEMBRA_BUILD/wine/program
pidfile=$dir/wineserver.pid
system32=$WINEPREFIX/drive_c/windows/system32

case $action in
start)
  "$top/scripts/wineprefix.sh" "$NEMBRA_BUILD" program
  if alive "$pidfile"; then
    timeout 10 "$WINESERVER" -k 2>/dev/null || true
  fi
  stop_pid "$pidfile"
  timeout 10 "$WINESERVER" -w 2>/dev/null || true
  for d in "$HOME" "$XDG_DATA_HOME"; do
    mkdir -p "$d"
    find "$d" -mindepth 1 -delete
  done
  if [ -f "$system32/rasapi32.dll.hidden" ]; then
    mv -f "$system32/rasapi32.dll.hidden" "$system32/rasapi32.dll"
  fi
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
  alive "$pidfile" || { echo "the program prefix's wineserver did not start"; cat "$dir/wineserver.log"; exit 1; }
  "$WINE64" reg delete 'HKCU\Software\Quellmark' /f >/dev/null 2>&1 || true
  ;;
stop)
  if alive "$pidfile"; then
    timeout 10 "$WINESERVER" -k 2>/dev/null || true
  fi
  stop_pid "$pidfile"
  stop_pid "$dir/xvfb.pid"
  rm -f "$dir/display"
  ;;
esac
