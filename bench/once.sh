#!/usr/bin/env bash
# One small run of an FTP bench program in the test run, against the test
# run's vsftpd (its fixture): a folder of 1,000 entries, a file of 1 MiB,
# 20 small files and a tree of 20 files in four folders, made in the
# server's root under bench-once-NAME/ and removed at the end. Passes when
# the program ends well and prints every figure it owes; the figures
# themselves are not judged.
#   bench/once.sh BUILD PORTBASE ftpcli|child
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
base=$2
what=$3
peers=$top/tests/peers
# The peers' ports come from the base as their scripts' third argument.
set -- "$what" "$build" "$base"
. "$peers/ports.sh"
. "$peers/ftplib.sh"
root=$build/peers/vsftpd/root
[ -d "$root" ] || { echo "no vsftpd root in $root" >&2; exit 1; }
remote=bench-once-$what
dir=$root/$remote
local=$build/bench-once/$what
cleanup() { rm -rf "$dir" "$local"; }
trap cleanup EXIT
cleanup
mkdir -p "$dir/list" "$dir/big" "$dir/many" "$local"
python3 - "$dir" <<'PY'
import os, sys
d = sys.argv[1]
for i in range(4):
    os.makedirs(os.path.join(d, "tree", "dir%d" % i, "in"))
    for j in range(5):
        with open(os.path.join(d, "tree", "dir%d" % i, "in" if j % 2 else "", "f%d.txt" % j), "wb") as f:
            f.write(os.urandom(100))
for i in range(1000):
    os.close(os.open(os.path.join(d, "list", "entry_%06d.txt" % i), os.O_CREAT | os.O_WRONLY, 0o644))
for i in range(20):
    with open(os.path.join(d, "many", "f%04d.bin" % i), "wb") as f:
        f.write(os.urandom(1024))
with open(os.path.join(d, "big", "big.bin"), "wb") as f:
    f.write(os.urandom(1 << 20))
PY
chown -R "$FTP_USER:$FTP_USER" "$dir"
win() { local p="Z:$1"; echo "${p//\//\\}"; }
run() {
  local out
  out=$("$top/scripts/wine-run" "$build" "$build/bench/$1.exe" "${@:2}" 2>"$local.err" | tr -d '\r') || {
    echo "$out"
    echo "$1 failed; its errors:" >&2
    grep -v fixme "$local.err" | tail -20 >&2
    exit 1
  }
  echo "$out"
  if echo "$out" | grep -q '^FAILED'; then exit 1; fi
  RUN_OUT=$out
}
# expect PATTERN: the last run printed a line matching it.
expect() { echo "$RUN_OUT" | grep -Eq "$1" || { echo "missing figure: $1" >&2; exit 1; }; }
login=(127.0.0.1 "$PORT_VSFTPD" "$FTP_USER" "$FTP_PASSWORD")
figure='^RESULT [0-9.]+ [0-9.]+'
case $what in
ftpcli)
  for mode in passive active; do
    run ftpcli_bench get $mode "${login[@]}" "/$remote/big/big.bin" "$(win "$local/big.bin")"
    expect "$figure 1048576\$"
    cmp "$dir/big/big.bin" "$local/big.bin"
    run ftpcli_bench put $mode "${login[@]}" "$(win "$local/big.bin")" "/$remote/big/up-$mode.bin"
    expect "$figure 1048576\$"
    cmp "$dir/big/big.bin" "$dir/big/up-$mode.bin"
    run ftpcli_bench many $mode "${login[@]}" "/$remote/many" 20 "$(win "$local")"
    expect "$figure 20480\$"
    run ftpcli_bench list $mode "${login[@]}" "/$remote/list" "$(win "$local/list.txt")"
    expect "$figure [0-9]+\$"
    [ "$(wc -l <"$local/list.txt")" -ge 1000 ] || { echo "short listing" >&2; exit 1; }
  done
  ;;
child)
  run child_bench "${login[@]}" "/$remote/list" "/$remote/big" big.bin "$(win "$local")" 1000 "/$remote/tree"
  expect "^RESULT list [0-9.]+ [0-9.]+ 1000 "
  expect "^RESULT relist [0-9.]+ [0-9.]+ 1000 "
  expect "^RESULT download [0-9.]+ [0-9.]+ 1048576 "
  expect "^RESULT batch [0-9.]+ [0-9.]+ 20 "
  diff -r "$dir/tree" "$local/batch"
  ;;
*)
  echo "usage: once.sh BUILD PORTBASE ftpcli|child" >&2
  exit 2
  ;;
esac
echo "$what: every figure printed"
