#!/usr/bin/env bash
# Prints the port base of a build tree's test peers, which listen on
# BASE+0..BASE+399 (tests/peers/ports.sh):
#   port-base.sh BUILD
# NEMBRA_PORT_BASE, when set, is the base. Otherwise the tree keeps the block
# it claimed before, and a tree without one claims the first block of
# NEMBRA_PORT_RANGE ("FIRST LAST", default "25000 32399": above the bases
# given by hand, below Linux's ephemeral ports) that no other tree claims and
# of which no port is in use. A claim is a file CLAIMS/BASE naming the tree
# (CLAIMS: NEMBRA_PORT_CLAIMS, default /tmp/nembra-ports), made under a lock;
# the tree notes its base in BUILD/port-base. A claim whose tree no longer
# notes that base is free again.
set -euo pipefail
build=$(realpath -m "${1:?build tree}")
span=400
claims=${NEMBRA_PORT_CLAIMS:-/tmp/nembra-ports}
read -r first last <<<"${NEMBRA_PORT_RANGE:-25000 32399}"
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

# in_use BASE: a socket (any state, TCP or UDP) uses a port of the block.
in_use() {
  ss -Htuan 2>/dev/null | awk -v lo="$1" -v hi=$(($1 + span - 1)) '
    { n = split($5, a, ":"); p = a[n] + 0; if (p >= lo && p <= hi) found = 1 }
    END { exit found ? 0 : 1 }'
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
if [ -n "$own" ] && [ "$(cat "$claims/$own" 2>/dev/null)" = "$build" ]; then
  echo "$own"
  exit 0
fi
# The claim was lost (the claims folder was cleared): the same block again
# when it is still free.
if [ -n "$own" ] && ! other_claim "$own" >/dev/null && ! in_use "$own"; then
  claim "$own"
  exit 0
fi
for ((b = first; b + span - 1 <= last; b += span)); do
  other_claim "$b" >/dev/null && continue
  in_use "$b" && continue
  claim "$b"
  exit 0
done
echo "port base: no free block of $span ports in $first-$last (claims in $claims)" >&2
exit 1
