#!/usr/bin/env bash
# Test peer: pure-ftpd (unpacked into BUILD/debs by scripts/unpack-debs.sh) on
# 127.0.0.1:PORT_PUREFTPD with a throw-away configuration.
#   pureftpd.sh start|stop BUILD PORTBASE
# Login FTP_USER/FTP_PASSWORD (ftplib.sh): a virtual user of our own password
# database, run as the system account of that name and chrooted into
# BUILD/peers/pureftpd/root, which start empties and seeds (see ftplib.sh;
# manifest.sha256 and manifest.txt beside it). No anonymous login. Passive
# ports PASV_PUREFTPD_MIN-MAX on 127.0.0.1; active mode (PORT) allowed;
# uploads, APPE, REST, MKD, RMD, DELE, RNFR/RNTO allowed. Its banner has
# several lines ("220-..."), and its 257 replies do not double a quote in
# the folder name ('257 "/a"b" is your current location'). Idle sessions
# end after 2 minutes. Transfer log: transfer.log.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/ports.sh"
. "$here/lib.sh"
. "$here/ftplib.sh"
dir=$2/peers/pureftpd
bin=$2/debs/pure-ftpd/usr
mkdir -p "$dir"

case $1 in
start)
  alive "$dir/pure-ftpd.pid" && exit 0
  ports_free pure-ftpd "$PORT_PUREFTPD" "$PASV_PUREFTPD_MIN-$PASV_PUREFTPD_MAX"
  [ -x "$bin/sbin/pure-ftpd" ] || { echo "$bin/sbin/pure-ftpd missing: run scripts/setup.sh" >&2; exit 1; }
  ftp_account
  ftp_seed "$dir/root" "$dir"
  # A crypt hash keeps logins fast (pure-pw would choose a slow one).
  printf '%s:%s:%s:%s::%s/./::::::::::::\n' "$FTP_USER" \
    "$(openssl passwd -6 -salt nembra "$FTP_PASSWORD")" \
    "$(id -u "$FTP_USER")" "$(id -g "$FTP_USER")" "$dir/root" >"$dir/pureftpd.passwd"
  rm -f "$dir/pureftpd.pdb"
  "$bin/bin/pure-pw" mkdb "$dir/pureftpd.pdb" -f "$dir/pureftpd.passwd" >/dev/null
  run_detached "$dir/pure-ftpd.pid" "$dir/stdout.log" "$bin/sbin/pure-ftpd" \
    --bind "127.0.0.1,$PORT_PUREFTPD" --ipv4only \
    --passiveportrange "$PASV_PUREFTPD_MIN:$PASV_PUREFTPD_MAX" --forcepassiveip 127.0.0.1 \
    --login "puredb:$dir/pureftpd.pdb" --noanonymous --chrooteveryone --dontresolve \
    --altlog "clf:$dir/transfer.log" --umask 133:022 --maxidletime 2 \
    --maxclientsperip 100 --maxclientsnumber 100
  wait_port "$PORT_PUREFTPD"
  ;;
stop)
  stop_pid "$dir/pure-ftpd.pid"
  ;;
esac
