#!/usr/bin/env bash
# Test peer: vsftpd on 127.0.0.1:PORT_VSFTPD with a throw-away configuration.
#   vsftpd.sh start|stop BUILD PORTBASE
# Login FTP_USER/FTP_PASSWORD (ftplib.sh) chrooted into BUILD/peers/vsftpd/root,
# which start empties and seeds (see ftplib.sh; manifest.sha256 and
# manifest.txt beside it). Anonymous (user "anonymous" or "ftp", any password)
# reads the same folder and cannot write. Passive ports PASV_VSFTPD_MIN-MAX
# on 127.0.0.1; active mode (PORT) allowed; uploads, APPE, REST, MKD, RMD,
# DELE, RNFR/RNTO allowed. Log: vsftpd.log (commands and replies).
# The login goes through PAM with a stack of our own, bound over the
# package's /etc/pam.d/vsftpd in a mount namespace that only vsftpd sees
# (mounted.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/ports.sh"
. "$here/lib.sh"
. "$here/ftplib.sh"
dir=$2/peers/vsftpd
mkdir -p "$dir"

case $1 in
start)
  alive "$dir/vsftpd.pid" && exit 0
  ports_free vsftpd "$PORT_VSFTPD" "$PASV_VSFTPD_MIN-$PASV_VSFTPD_MAX"
  ftp_account
  ftp_seed "$dir/root" "$dir"
  # vsftpd's own empty, root-owned folder for its unprivileged processes.
  mkdir -p "$dir/empty"
  chmod 755 "$dir/empty"
  cat >"$dir/pam" <<'PAM'
auth     required pam_unix.so
account  required pam_unix.so
session  required pam_permit.so
PAM
  v=$PEER_VIEW
  cat >"$dir/vsftpd.conf" <<CONF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$PORT_VSFTPD
background=NO
seccomp_sandbox=NO
secure_chroot_dir=$v/empty
pam_service_name=vsftpd
local_enable=YES
write_enable=YES
local_umask=022
local_root=$v/root
chroot_local_user=YES
allow_writeable_chroot=YES
anonymous_enable=YES
anon_root=$v/root
no_anon_password=YES
anon_upload_enable=NO
anon_mkdir_write_enable=NO
anon_other_write_enable=NO
pasv_enable=YES
pasv_address=127.0.0.1
pasv_min_port=$PASV_VSFTPD_MIN
pasv_max_port=$PASV_VSFTPD_MAX
port_enable=YES
connect_from_port_20=NO
xferlog_enable=YES
xferlog_std_format=NO
log_ftp_protocol=YES
vsftpd_log_file=$v/vsftpd.log
use_localtime=NO
idle_session_timeout=120
data_connection_timeout=60
CONF
  run_detached "$dir/vsftpd.pid" "$dir/stdout.log" \
    "$here/mounted.sh" "$dir" "$v" "$dir/pam" /etc/pam.d/vsftpd -- vsftpd "$v/vsftpd.conf"
  wait_port "$PORT_VSFTPD"
  ;;
stop)
  stop_pid "$dir/vsftpd.pid"
  ;;
esac
