#!/usr/bin/env bash
# Prints the port base of a build tree's test peers, which listen on
# BASE+0..BASE+399 (tests/peers/ports.sh):
#   port-base.sh BUILD
# NEMBRA_PORT_BASE, when set, is the base. Otherwise the tree keeps the block
# it claimed before (one of the blocks below) while no other program uses a
# port of it, and else claims
# the first of NEMBRA_PORT_BLOCKS that no other tree claims and of which no
# port is in use. The default blocks start at N*1000+500, between the bases
# given by hand (N*1000), skip 29500 (the FTP benchmark's) and end below
# Linux's ephemeral ports. A claim is a file CLAIMS/BASE naming the tree
# (CLAIMS: NEMBRA_PORT_CLAIMS, default /tmp/nembra-ports), made under a lock;
# the tree notes its base in BUILD/port-base. A claim whose tree no longer
# notes that base is free again.
set -euo pipefail
export PATH=/usr/sbin:/usr/bin:/sbin:/bin:$PATH
build=$(realpath -m "${1:?build tree}")
span=400
claims=${NEMBRA_PORT_CLAIMS:-/tmp/nembra-ports}
blocks=${NEMBRA_PORT_BLOCKS:-20500 21500 22500 23500 24500 25500 26500 27500 28500 30500 31500}
mkdir -p "$claims" "$build"
exec 9>"$claims/lock"
flock -w 60 9 || { echo "port base: the lock $claims/lock stays busy" >&2; exit 1; }

# live CLAIM: the claim's tree still notes that base.
live() {
  local tree
  tree=$(cat "$1" 2>/dev/null) || return 1
  [ "$(cat "$tree/port-base" 2>/dev/null)" = "${1##*/}" ]
}

# other_claim BASE: prints the tree of another live claim whose block
# overlaps BASE's; dead claims are removed on the way.
other_claim() {
  local base=$1 f b
  for f in "$claims"/[0-9]*; do
    [ -e "$f" ] || continue
    b=${f##*/}
    [ "$(cat "$f" 2>/dev/null)" = "$build" ] && continue
    if ! live "$f"; then
      rm -f "$f"
      continue
    fi
    if ((b < base + span && base < b + span)); then
      cat "$f"
      return 0
    fi
  done
  return 1
}

# sockets BASE: "PORT PID" of each socket (TCP or UDP, any state) on a port
# of the block; PID "-" when no process holds it (TIME_WAIT).
sockets() {
  ss -Htuanp 2>/dev/null | awk -v lo="$1" -v hi=$(($1 + span - 1)) '
    { n = split($5, a, ":"); p = a[n] + 0
      if (p < lo || p > hi) next
      pid = "-"; if (match($0, /pid=[0-9]+/)) pid = substr($0, RSTART + 4, RLENGTH - 4)
      print p, pid }'
}

# ours PID: PID is one of this tree's peers (tests/peers/lib.sh's pid files
# under BUILD/peers) or runs below one.
ours() {
  local pid=$1 own i
  own=" $(cat "$build"/peers/*/*.pid 2>/dev/null | awk '{printf "%s ", $1}')"
  for i in $(seq 1 64); do
    [ "$pid" -gt 1 ] 2>/dev/null || return 1
    case $own in *" $pid "*) return 0 ;; esac
    pid=$(ps -o ppid= -p "$pid" 2>/dev/null | tr -d ' ') || return 1
  done
  return 1
}

# stranger BASE: prints a port of the block that another program uses.
stranger() {
  local port pid
  while read -r port pid; do
    [ "$pid" = - ] && continue
    ours "$pid" && continue
    echo "$port"
    return 0
  done < <(sockets "$1")
  return 1
}

claim() {
  local f
  for f in "$claims"/[0-9]*; do
    [ -e "$f" ] && [ "$(cat "$f" 2>/dev/null)" = "$build" ] && [ "${f##*/}" != "$1" ] && rm -f "$f"
  done
  echo "$build" >"$claims/$1"
  echo "$1" >"$build/port-base"
  echo "$1"
}

if [ -n "${NEMBRA_PORT_BASE:-}" ]; then
  if other=$(other_claim "$NEMBRA_PORT_BASE"); then
    echo "port base $NEMBRA_PORT_BASE (NEMBRA_PORT_BASE) overlaps the ports of $other" >&2
  fi
  claim "$NEMBRA_PORT_BASE"
  exit 0
fi

own=$(cat "$build/port-base" 2>/dev/null || true)
# A base given by hand before is not kept once none is given.
case " $blocks " in *" $own "*) ;; *) own= ;; esac
if [ -n "$own" ]; then
  if port=$(stranger "$own"); then
    echo "port base $own: port $port is used by another program; choosing another block" >&2
  elif [ "$(cat "$claims/$own" 2>/dev/null)" = "$build" ] || ! other_claim "$own" >/dev/null; then
    # Still ours, or lost with a cleared claims folder and free again.
    claim "$own"
    exit 0
  fi
fi
for b in $blocks; do
  [ "$b" = "$own" ] && continue
  other_claim "$b" >/dev/null && continue
  [ -n "$(sockets "$b")" ] && continue
  claim "$b"
  exit 0
done
echo "port base: no free block of $span ports among $blocks (claims in $claims)" >&2
exit 1
