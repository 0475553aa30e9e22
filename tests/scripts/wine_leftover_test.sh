#!/usr/bin/env bash
# The start's check for a Wine session of the prefix left on another display,
# on a prefix of its own: a wineserver started on display :4711 (Wine's own
# services only) stays for a start there, is stopped for a start elsewhere,
# with the build's display it ran on; a program in the session is named and
# left running.
set -uo pipefail
top=$1
tmp=$(mktemp -d)
build=$tmp/build
prefix=$build/wine/prefix
mkdir -p "$prefix" "$build/wine/home"
program_pid=
xvfb_pid=
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*" >&2
  exit 1
}
# The processes whose prefix is the test's.
in_prefix() {
  local p
  for p in /proc/[0-9]*; do
    { tr '\0' '\n' <"$p/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$prefix" && echo "${p#/proc/}"
  done
}

WINEPREFIX=$prefix DISPLAY=:4711 /usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1
server=$(in_prefix)
[ -n "$server" ] || fail "no wineserver started"
# The build's display, as its fixture records it (a stand-in process).
sleep 60 &
xvfb_pid=$!
echo "$xvfb_pid" >"$build/wine/xvfb.pid"
echo ":4711" >"$build/wine/display"

# A start on the session's own display leaves it.
out=$("$top/scripts/wine-leftover.sh" "$build" :4711 2>&1) || fail "refused on the same display: $out"
kill -0 $server 2>/dev/null || fail "the wineserver was stopped for a start on its display"

# A program in the session: named, nothing stopped.
cp /bin/sleep "$tmp/nbra3.exe"
WINEPREFIX=$prefix DISPLAY=:4711 "$tmp/nbra3.exe" 60 &
program_pid=$!
sleep 0.2
out=$("$top/scripts/wine-leftover.sh" "$build" :4712 2>&1) && fail "a session with a program was not refused"
grep -q "is in use on display :4711 by: nbra3.exe" <<<"$out" || fail "unclear message: $out"
grep -q "DISPLAY=:4711" <<<"$out" || fail "no way out named: $out"
kill -0 $server 2>/dev/null || fail "the wineserver was stopped with a program running"
kill -0 $program_pid 2>/dev/null || fail "the program was stopped"
kill $program_pid
wait $program_pid 2>/dev/null
program_pid=

# Only services left: stopped, with the build's display.
out=$("$top/scripts/wine-leftover.sh" "$build" :4712 2>&1) || fail "the leftover was not stopped: $out"
grep -q "Stopping the Wine session left running on display :4711" <<<"$out" || fail "not told: $out"
[ -z "$(in_prefix)" ] || fail "the wineserver still runs"
sleep 0.1
kill -0 $xvfb_pid 2>/dev/null && fail "the build's display still runs"
[ -e "$build/wine/display" ] && fail "the display file is left"
xvfb_pid=

# Nothing left: nothing to do, nothing said.
out=$("$top/scripts/wine-leftover.sh" "$build" "" 2>&1) || fail "refused without a session: $out"
[ -z "$out" ] || fail "said without a session: $out"
echo "ok"
