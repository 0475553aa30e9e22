#!/usr/bin/env bash
# Sets up, builds and starts Nembra under Wine on a virtual display
# (or on $DISPLAY when one is set), then reports how it ended.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
export NEMBRA_BUILD=${NEMBRA_BUILD:-$top/build}
"$top/scripts/setup.sh"
"$top/scripts/build.sh"
"$top/scripts/wineprefix.sh" "$NEMBRA_BUILD"
own_display=
if [ -z "${DISPLAY:-}" ]; then
  "$top/tests/peers/display.sh" start "$NEMBRA_BUILD" >/dev/null
  own_display=1
fi
set +e
"$top/scripts/wine-run" "$NEMBRA_BUILD" "$NEMBRA_BUILD/nbra3.exe"
rc=$?
set -e
[ -n "$own_display" ] && "$top/tests/peers/display.sh" stop "$NEMBRA_BUILD" >/dev/null
echo "Nembra ended with exit code $rc"
exit $rc
