#!/usr/bin/env bash
# The batch download, run by hand: child_bench.exe (the main window and a
# connection window in process under Wine) beside lftp's mirror against one
# vsftpd on loopback, in one run.
#   bash bench/batchcompare.sh [BUILD] [PORTBASE]
# BUILD is the build tree (default build/, built with scripts/build.sh);
# PORTBASE a port base no test run uses (default 29700). The server keeps
# its files in BUILD/bench-batch/: a tree of 2,000 files of 1 KiB in 40
# folders and one file of 1 GiB. Both copy the whole tree; the large file
# alone gives the MB/s (child_bench's download step, lftp's get). A message
# posted to the main window every 10 ms gives the worst delay before it is
# handled. lftp is installed with apt when missing. The display and
# wineserver it starts, it stops at the end.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
base=${2:-29700}
work=$build/bench-batch
peers=$top/tests/peers
port=$((base + 20))

[ -x "$build/bench/child_bench.exe" ] || { echo "build first: bash scripts/build.sh" >&2; exit 1; }
command -v lftp >/dev/null || apt-get install -y lftp >/dev/null
root=$work/peers/vsftpd/root
started_display=
xvfb_pid=$build/wine/xvfb.pid
if ! { [ -f "$xvfb_pid" ] && kill -0 "$(cat "$xvfb_pid")" 2>/dev/null; }; then started_display=1; fi
finish() {
  "$peers/vsftpd.sh" stop "$work" "$base" || true
  rm -rf "$work/local" "$root/bench"
  if [ -n "$started_display" ]; then "$peers/display.sh" stop "$build" || true; fi
}
trap finish EXIT
"$peers/display.sh" start "$build" >/dev/null
"$peers/vsftpd.sh" start "$work" "$base"

echo "preparing files in $root/bench ..."
rm -rf "$root/bench" "$work/local"
mkdir -p "$root/bench/list" "$root/bench/tree/big" "$work/local/lftp"
head -c 1073741824 /dev/urandom >"$root/bench/tree/big/big.bin"
python3 - "$root/bench/tree" <<'PY'
import os, sys
d = sys.argv[1]
for i in range(40):
    sub = os.path.join(d, "dir%02d" % i)
    os.makedirs(sub)
    for j in range(50):
        with open(os.path.join(sub, "f%03d.bin" % j), "wb") as f:
            f.write(os.urandom(1024))
PY
. "$peers/ftplib.sh"
chown -R "$FTP_USER:$FTP_USER" "$root/bench"
sync

local_win="Z:${work//\//\\}\\local"
echo "measuring ..."
rc=0
out=$("$top/scripts/wine-run" "$build" "$build/bench/child_bench.exe" 127.0.0.1 "$port" "$FTP_USER" "$FTP_PASSWORD" \
  /bench/list /bench/tree/big big.bin "$local_win" 0 /bench/tree 2>"$work/child_bench.err" | tr -d '\r') || rc=$?
echo "$out"
if [ "$rc" != 0 ] || echo "$out" | grep -q '^FAILED'; then
  echo "child_bench.exe failed ($rc); its errors:" >&2
  grep -v fixme "$work/child_bench.err" | tail -20 >&2
  exit 1
fi
diff -r -q "$root/bench/tree" "$work/local/batch" >/dev/null || { echo "the batch copy differs" >&2; exit 1; }

login="open -u $FTP_USER,$FTP_PASSWORD -p $port 127.0.0.1"
t0=$(date +%s.%N)
lftp -e "set ftp:passive-mode on; $login; mirror --parallel=1 /bench/tree $work/local/lftp/tree; quit" >/dev/null
t1=$(date +%s.%N)
lftp -e "set ftp:passive-mode on; $login; get /bench/tree/big/big.bin -o $work/local/lftp/big.bin; quit" >/dev/null
t2=$(date +%s.%N)
diff -r -q "$root/bench/tree" "$work/local/lftp/tree" >/dev/null || { echo "lftp's copy differs" >&2; exit 1; }

python3 - "$out" "$t0" "$t1" "$t2" <<'PY'
import sys
out, t0, t1, t2 = sys.argv[1], *map(float, sys.argv[2:5])
res = {}
for l in out.splitlines():
    if l.startswith("RESULT "):
        _, step, secs, worst, amount = l.split()[:5]
        res[step] = (float(secs), float(worst), int(amount))
GiB = 1 << 30
files = res['batch'][2]
batch, mirror, get = res['batch'][0], t1 - t0, t2 - t1
big = GiB / res['download'][0] / 1e6
print()
print(f"{'figure':46} {'Nembra':>10} {'lftp':>10} {'Nembra/lftp':>12}")
print(f"{'tree of 2,000 files and 1 GiB (s)':46} {batch:10.2f} {mirror:10.2f} {batch / mirror:12.2f}")
print(f"{'  files per second':46} {files / batch:10.1f} {files / mirror:10.1f} {mirror / batch:12.2f}")
print(f"{'the 1 GiB file alone (MB/s)':46} {big:10.1f} {GiB / get / 1e6:10.1f} {big / (GiB / get / 1e6):12.2f}")
print(f"{'worst delay of the main window, batch (ms)':46} {res['batch'][1]:10.1f} {'-':>10}")
print(f"{'worst delay of the main window, 1 GiB (ms)':46} {res['download'][1]:10.1f} {'-':>10}")
PY
