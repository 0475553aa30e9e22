#!/usr/bin/env bash
# Sets up, builds and starts Nembra under Wine on a virtual display
# (or on $DISPLAY when one is set), then reports how it ended.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
export NEMBRA_BUILD=${NEMBRA_BUILD:-$top/build}
"$top/scripts/setup.sh"
"$top/scripts/build.sh"
# The display the program will show on: the one set, else the build's own
# when it runs; a Wine session of the prefix left on another one goes first.
want=${DISPLAY:-}
if [ -z "$want" ] && [ -f "$NEMBRA_BUILD/wine/xvfb.pid" ] && [ -f "$NEMBRA_BUILD/wine/display" ] &&
  kill -0 "$(cat "$NEMBRA_BUILD/wine/xvfb.pid")" 2>/dev/null; then
  want=$(cat "$NEMBRA_BUILD/wine/display")
fi
"$top/scripts/wine-leftover.sh" "$NEMBRA_BUILD" "$want" || exit 1
"$top/scripts/wineprefix.sh" "$NEMBRA_BUILD"
own_display=
if [ -z "${DISPLAY:-}" ]; then
  "$top/tests/peers/display.sh" start "$NEMBRA_BUILD" >/dev/null
  own_display=1
fi
# A local FTP server to try the program on, stopped when it ends; a first
# start (no profile file beside the program yet) gets a profile for it, and
# the LAN setting, since Wine offers no dial-up connection.
if ftp_port=$("$top/scripts/localftp.sh" start "$NEMBRA_BUILD"); then
  trap '"$top/scripts/localftp.sh" stop "$NEMBRA_BUILD"' EXIT
  if [ ! -e "$NEMBRA_BUILD/accounts.dat" ]; then
    "$top/scripts/localftp.sh" profile "$NEMBRA_BUILD" "$NEMBRA_BUILD/accounts.dat"
    key='HKCU\Software\Quellmark\Nembra3\Settings'
    "$top/scripts/wine-run" "$NEMBRA_BUILD" reg query "$key" /v Lanline >/dev/null 2>&1 ||
      "$top/scripts/wine-run" "$NEMBRA_BUILD" reg add "$key" /v Lanline /t REG_DWORD /d 1 /f >/dev/null 2>&1
  fi
  echo "Local test server: ftp://127.0.0.1:$ftp_port/ (profile \"Local test server\")"
else
  echo "The local test server did not start; Nembra starts without it." >&2
fi
set +e
"$top/scripts/wine-run" "$NEMBRA_BUILD" "$NEMBRA_BUILD/nbra3.exe"
rc=$?
set -e
[ -n "$own_display" ] && "$top/tests/peers/display.sh" stop "$NEMBRA_BUILD" >/dev/null
echo "Nembra ended with exit code $rc"
exit $rc
