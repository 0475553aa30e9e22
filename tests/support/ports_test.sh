#!/usr/bin/env bash
# Build trees that test at once: each claims a port block of its own, a
# peer whose port is taken says which, and two trees' servers serve each
# tree its own files.
#   ports_test.sh SOURCE WORK
set -uo pipefail
src=$1
work=$2
peers=$src/tests/peers
pick=$src/scripts/port-base.sh
export PATH=/usr/sbin:/usr/bin:/sbin:/bin:$PATH
unset NEMBRA_PORT_BASE NEMBRA_PORT_RANGE NEMBRA_PORT_CLAIMS
listeners=()
cleanup() {
  local p
  for p in "${listeners[@]}"; do kill "$p" 2>/dev/null; done
  for t in a b; do [ -n "${base[$t]:-}" ] && "$peers/nginx.sh" stop "$work/$t" "${base[$t]}" >/dev/null 2>&1; done
  rm -rf "$work"
}
declare -A base
trap cleanup EXIT
rm -rf "$work"
mkdir -p "$work"
passed=0
failed=0

check() {
  if [ "$2" = "$3" ]; then
    passed=$((passed + 1))
    echo "ok   $1"
  else
    failed=$((failed + 1))
    printf 'FAIL %s\n     want: %s\n     got:  %s\n' "$1" "$3" "$2"
  fi
}

# listen PORT: a TCP listener on 127.0.0.1:PORT for at most 60 s.
listen() {
  python3 -c 'import socket, sys, time
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", int(sys.argv[1]))); s.listen(); time.sleep(60)' "$1" &
  listeners+=($!)
  for _ in $(seq 1 100); do
    ss -Hltn | awk '{print $4}' | grep -q ":$1\$" && return 0
    sleep 0.05
  done
}

# Two trees at once (the machine's claims, so real trees are kept clear of).
"$pick" "$work/a" >"$work/a.base" 2>&1 &
"$pick" "$work/b" >"$work/b.base" 2>&1 &
wait
base[a]=$(cat "$work/a.base")
base[b]=$(cat "$work/b.base")
gap=$((base[a] - base[b]))
check "two trees get blocks 400 ports apart or more" "$((gap >= 400 || gap <= -400))" 1
check "a tree keeps its block" "$("$pick" "$work/a")" "${base[a]}"
check "NEMBRA_PORT_BASE is taken as given" "$(NEMBRA_PORT_BASE=24600 "$pick" "$work/c")" 24600
rm -rf "$work/c"

# A block where another program uses a port is passed over, and left by
# the tree that had it; a full list fails; a claim whose tree is gone is free
# again; the tree's own peers on its ports are no reason to move.
private() { NEMBRA_PORT_CLAIMS=$work/claims NEMBRA_PORT_BLOCKS="31200 31600 32000" "$pick" "$@"; }
listen 31390
check "a block with a port in use is passed over" "$(private "$work/r1")" 31600
check "the next free block" "$(private "$work/r2")" 32000
out=$(private "$work/r3" 2>&1)
check "no free block: a failure" "$? ${out##*: }" "1 no free block of 400 ports among 31200 31600 32000 (claims in $work/claims)"
rm -rf "$work/r1"
check "the block of a removed tree is free again" "$(private "$work/r3")" 31600
kill "${listeners[-1]}"
wait "${listeners[-1]}" 2>/dev/null
check "a block free again is taken" "$(private "$work/r4")" 31200
rm -rf "$work/r2"
listen 31210
out=$(private "$work/r4" 2>"$work/r4.err")
check "a tree leaves its block when another program uses a port of it" "$out" 32000
check "and says why" "$(cat "$work/r4.err")" "port base 31200: port 31210 is used by another program; choosing another block"
mkdir -p "$work/r4/peers/fake"
listen 32010
echo "${listeners[-1]} 0" >"$work/r4/peers/fake/fake.pid"
check "the tree's own peers do not move it" "$(private "$work/r4")" 32000
kill "${listeners[@]: -2}"

# A peer's start with its port taken names the port.
listen "${base[a]}"
out=$("$peers/nginx.sh" start "$work/a" "${base[a]}" 2>&1)
rc=$?
check "nginx does not start on a taken port" "$rc" 1
check "the message names the port" "$(echo "$out" | grep -c "nginx: tcp port ${base[a]} is already taken")" 1
kill "${listeners[-1]}"
wait "${listeners[-1]}" 2>/dev/null

# Both trees' nginx at once, each serving its own random large.bin.
"$peers/nginx.sh" start "$work/a" "${base[a]}" >"$work/a.log" 2>&1 &
"$peers/nginx.sh" start "$work/b" "${base[b]}" >"$work/b.log" 2>&1 &
wait
for t in a b; do
  got=$(curl -sS --max-time 10 "http://127.0.0.1:${base[$t]}/large.bin.sha256")
  check "tree $t's server serves tree $t's file" "$got" "$(cat "$work/$t/peers/nginx/www/large.bin.sha256" 2>&1)"
done
check "the trees' files differ" \
  "$(cmp -s "$work/a/peers/nginx/www/large.bin" "$work/b/peers/nginx/www/large.bin"; echo $?)" 1

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
