#!/usr/bin/env bash
# FTP transfer benchmark, run by hand: TFtpClient (ftpcli_bench.exe under
# Wine) beside curl and lftp against one vsftpd on loopback, in one run.
#   bash bench/ftpcompare.sh [BUILD] [PORTBASE]
# BUILD is the build tree (default build/, built with scripts/build.sh);
# PORTBASE a port base no test run uses (default 29500). The server keeps
# its files in BUILD/bench/, apart from the test peers. Installs lftp with
# apt when it is missing. Prints each figure and its ratio to curl.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
base=${2:-29500}
work=$build/bench
peers=$top/tests/peers

[ -x "$build/bench/ftpcli_bench.exe" ] || { echo "build first: bash scripts/build.sh" >&2; exit 1; }
if ! command -v lftp >/dev/null; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -q --no-install-recommends lftp >/dev/null || {
    apt-get update -q >/dev/null && apt-get install -y -q --no-install-recommends lftp >/dev/null; }
fi

root=$work/peers/vsftpd/root
"$peers/display.sh" start "$build" >/dev/null
"$peers/vsftpd.sh" start "$work" "$base"
trap '"$peers/vsftpd.sh" stop "$work" "$base"; rm -rf "$work/local" "$root/bench"' EXIT

echo "preparing files in $root/bench ..."
mkdir -p "$root/bench/many" "$root/bench/list100k" "$work/local"
head -c 1073741824 /dev/urandom >"$root/bench/big.bin"
python3 - "$root/bench" <<'PY'
import os, sys
d = sys.argv[1]
for i in range(1000):
    with open(os.path.join(d, "many", "f%04d.bin" % i), "wb") as f:
        f.write(os.urandom(1024))
for i in range(100000):
    os.close(os.open(os.path.join(d, "list100k", "entry_%06d.txt" % i), os.O_CREAT | os.O_WRONLY, 0o644))
PY
. "$peers/ftplib.sh"
chown -R "$FTP_USER:$FTP_USER" "$root/bench"

python3 "$top/bench/ftpcompare.py" --build "$build" --port "$((base + 20))" \
  --root "$root" --local "$work/local" --user "$FTP_USER" --password "$FTP_PASSWORD"
