#!/usr/bin/env bash
# Before a start on a display: wine-leftover.sh BUILD DISPLAY
# A Wine session of the build's prefix still running on another display
# (left by a benchmark or a test run) keeps its desktop there, and a window
# made on this display ends with an X error. A session that runs only
# Wine's own services is stopped (with the build's display, when it was
# that one); one that runs programs is left alone and named, exit code 1.
# DISPLAY empty: the start makes a display of its own, so every session
# counts as another display's.
set -euo pipefail
export NEMBRA_BUILD=$1
want=$2
# The prefix's values only: exported, they would put this script's own
# processes into the prefix.
eval "$(. "$(dirname "$0")/wine-env.sh" && declare -p WINEPREFIX WINESERVER | sed 's/^declare -x/declare/')"

# The processes of the prefix: "pid display program" lines.
sessions() {
  local p env program display
  for p in /proc/[0-9]*; do
    [ "${p#/proc/}" = "$$" ] && continue
    env=$({ tr '\0' '\n' <"$p/environ"; } 2>/dev/null) || continue
    grep -qxF "WINEPREFIX=$WINEPREFIX" <<<"$env" || continue
    display=$(sed -n 's/^DISPLAY=//p' <<<"$env" | head -n 1)
    program=$({ tr '\0' '\n' <"$p/cmdline"; } 2>/dev/null | head -n 1) || continue
    [ -n "$program" ] || continue
    program=${program##*[/\\]}
    echo "${p#/proc/} ${display:--} $program"
  done
}

elsewhere=$(sessions | awk -v want="$want" '$2 != want')
[ -n "$elsewhere" ] || exit 0

others=$(awk '$3 !~ /^(wineserver|wineserver64|services\.exe|winedevice\.exe|plugplay\.exe|explorer\.exe|svchost\.exe|rpcss\.exe|conhost\.exe|deskkeeper\.exe|wine64|wine64-preloader|wine)$/' <<<"$elsewhere")
displays=$(awk '{print $2}' <<<"$elsewhere" | sort -u | tr '\n' ' ')
displays=${displays% }
if [ -n "$others" ]; then
  names=$(awk '{print $3}' <<<"$others" | sort -u | tr '\n' ' ')
  echo "The Wine prefix $WINEPREFIX is in use on display $displays by: ${names% }." >&2
  echo "End those programs (or start on that display: DISPLAY=${displays%% *}), then start again." >&2
  exit 1
fi

echo "Stopping the Wine session left running on display $displays."
WINEPREFIX=$WINEPREFIX "$WINESERVER" -k 2>/dev/null || true
pids=$(awk '{print $1}' <<<"$elsewhere")
for _ in $(seq 1 100); do
  alive=
  for pid in $pids; do kill -0 "$pid" 2>/dev/null && alive=1; done
  [ -z "$alive" ] && break
  sleep 0.1
done
if [ -n "$alive" ]; then
  echo "The Wine session on display $displays did not stop; end it with: WINEPREFIX=$WINEPREFIX $WINESERVER -k" >&2
  exit 1
fi
# The build's own display, when the session was on it, goes with it.
dir=$NEMBRA_BUILD/wine
if [ -f "$dir/xvfb.pid" ] && [ -f "$dir/display" ] && [ "$(cat "$dir/display")" != "$want" ] &&
  grep -qwF -- "$(cat "$dir/display")" <<<"$displays"; then
  kill "$(cat "$dir/xvfb.pid")" 2>/dev/null || true
  rm -f "$dir/xvfb.pid" "$dir/display"
fi
exit 0
