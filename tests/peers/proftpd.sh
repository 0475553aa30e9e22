#!/usr/bin/env bash
# Test peer: proftpd (unpacked into BUILD/debs by scripts/unpack-debs.sh) on
# 127.0.0.1:PORT_PROFTPD with a throw-away configuration.
#   proftpd.sh start|stop BUILD PORTBASE
# Login FTP_USER/FTP_PASSWORD (ftplib.sh) chrooted into
# BUILD/peers/proftpd/root, which start empties and seeds (see ftplib.sh;
# manifest.sha256 and manifest.txt beside it). Anonymous (user "anonymous"
# or "ftp", any password) reads the same folder and cannot write. Passive
# ports PASV_PROFTPD_MIN-MAX on 127.0.0.1; active mode (PORT) allowed;
# uploads, APPE, REST (also for STOR), MKD, RMD, DELE, RNFR/RNTO allowed.
# Answers SIZE only after TYPE I ("550 SIZE not allowed in ASCII mode").
# Logs: proftpd.log (server), xfer.log (transfers), commands.log (commands
# and replies).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/ports.sh"
. "$here/lib.sh"
. "$here/ftplib.sh"
dir=$2/peers/proftpd
bin=$2/debs/proftpd-core/usr
mkdir -p "$dir"

case $1 in
start)
  alive "$dir/launcher.pid" && exit 0
  ports_free proftpd "$PORT_PROFTPD" "$PASV_PROFTPD_MIN-$PASV_PROFTPD_MAX"
  [ -x "$bin/sbin/proftpd" ] || { echo "$bin/sbin/proftpd missing: run scripts/setup.sh" >&2; exit 1; }
  ftp_account
  ftp_seed "$dir/root" "$dir"
  v=$PEER_VIEW
  cat >"$dir/proftpd.conf" <<CONF
ServerType standalone
ServerName "Nembra test"
DefaultServer on
Port $PORT_PROFTPD
DefaultAddress 127.0.0.1
SocketBindTight on
UseIPv6 off
User nobody
Group nogroup
PidFile $v/proftpd.pid
ScoreboardFile $v/proftpd.scoreboard
ControlsEngine off
DelayEngine off
WtmpLog off
UseReverseDNS off
LangEngine off
SystemLog $v/proftpd.log
TransferLog $v/xfer.log
LogFormat commands "%h %u \"%r\" %s"
ExtendedLog $v/commands.log ALL commands
AuthOrder mod_auth_unix.c
AuthPAM off
RequireValidShell off
DefaultRoot $v/root
Umask 022
AllowOverwrite on
AllowStoreRestart on
AllowRetrieveRestart on
PassivePorts $PASV_PROFTPD_MIN $PASV_PROFTPD_MAX
MaxInstances 100
TimeoutIdle 120
TimeoutNoTransfer 120
<Anonymous $v/root>
  User ftp
  Group nogroup
  UserAlias anonymous ftp
  RequireValidShell off
  <Limit WRITE>
    DenyAll
  </Limit>
</Anonymous>
CONF
  "$here/mounted.sh" "$dir" "$v" -- "$bin/sbin/proftpd" --configtest --config "$v/proftpd.conf" \
    >"$dir/configtest.log" 2>&1 || { cat "$dir/configtest.log" >&2; exit 1; }
  run_detached "$dir/launcher.pid" "$dir/stdout.log" \
    "$here/mounted.sh" "$dir" "$v" -- "$bin/sbin/proftpd" --nodaemon --config "$v/proftpd.conf"
  wait_port "$PORT_PROFTPD"
  ;;
stop)
  stop_pid "$dir/launcher.pid"
  stop_pid "$dir/proftpd.pid"
  ;;
esac
