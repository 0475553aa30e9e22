#!/usr/bin/env bash
# Test fixture: the Wine prefix of the shell tests (BUILD/wine/shell, made by
# scripts/wineprefix.sh BUILD shell). Each start empties its home (the user's
# Desktop and Documents), its drive T: and its shell data (the trash), maps
# S: to the build tree's screenshots, and starts its own wineserver; stop
# ends that server by its pid.
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
  for d in "$HOME" "$dir/t" "$XDG_DATA_HOME"; do
    mkdir -p "$d"
    find "$d" -mindepth 1 -delete
  done
  rm -f "$WINEPREFIX/dosdevices/z:"
  ln -sfn "$dir/t" "$WINEPREFIX/dosdevices/t:"
  mkdir -p "$NEMBRA_BUILD/screenshots"
  ln -sfn "$NEMBRA_BUILD/screenshots" "$WINEPREFIX/dosdevices/s:"
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
  ;;
esac
