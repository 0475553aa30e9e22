#!/usr/bin/env bash
# The local FTP server a first start of Nembra connects to: vsftpd on
# 127.0.0.1 with a few sample files and an empty upload folder.
#   localftp.sh start|stop BUILD
#   localftp.sh profile BUILD FILE
# "start" prints the server's port. "profile" writes the profile file FILE
# with one profile, "Local test server", for the server, unless FILE exists. BUILD/localftp holds its root (made once,
# so that uploads stay), configuration, log and pid. The port is 2121, or the
# next free one up to 2199, chosen at the first start and kept in
# BUILD/localftp/port. The login is the test servers' account (ftplib.sh).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
peers=$top/tests/peers
. "$peers/lib.sh"
. "$peers/ftplib.sh"
dir=$2/localftp
mkdir -p "$dir"

port_taken() { ss -Hltn 2>/dev/null | awk '{print $4}' | grep -qE ":$1\$"; }

case $1 in
start)
  if alive "$dir/vsftpd.pid"; then
    cat "$dir/port"
    exit 0
  fi
  if [ -f "$dir/port" ]; then
    port=$(cat "$dir/port")
  else
    port=2121
    while port_taken "$port" && [ "$port" -lt 2199 ]; do port=$((port + 1)); done
    echo "$port" >"$dir/port"
  fi
  pasv_min=$((port + 7800))
  pasv_max=$((pasv_min + 19))
  ports_free "local FTP server" "$port" "$pasv_min-$pasv_max" || exit 1
  ftp_account
  root=$dir/root
  if [ ! -d "$root" ]; then
    mkdir -p "$root/samples" "$root/upload"
    printf 'Welcome to the local test server of Nembra.\r\n\r\nDownload these files, or upload your own into the folder "upload".\r\n' \
      >"$root/readme.txt"
    printf 'A small text file.\r\n' >"$root/samples/hello.txt"
    seq 1 2000 | sed 's/^/line /; s/$/\r/' >"$root/samples/lines.txt"
    head -c 1048576 /dev/urandom >"$root/samples/random-1mb.bin"
    chown -R "$FTP_USER:$FTP_USER" "$root"
    chmod 755 "$root"
  fi
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
listen_port=$port
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
anonymous_enable=NO
pasv_enable=YES
pasv_address=127.0.0.1
pasv_min_port=$pasv_min
pasv_max_port=$pasv_max
port_enable=YES
connect_from_port_20=NO
xferlog_enable=YES
xferlog_std_format=NO
log_ftp_protocol=YES
vsftpd_log_file=$v/vsftpd.log
use_localtime=NO
idle_session_timeout=600
CONF
  run_detached "$dir/vsftpd.pid" "$dir/stdout.log" \
    "$peers/mounted.sh" "$dir" "$v" "$dir/pam" /etc/pam.d/vsftpd -- vsftpd "$v/vsftpd.conf"
  wait_port "$port" >&2
  echo "$port"
  ;;
stop)
  stop_pid "$dir/vsftpd.pid"
  ;;
profile)
  file=$3
  [ -e "$file" ] && exit 0
  printf '[Local test server]\r\nHostName=127.0.0.1\r\nUserName=%s\r\nPassWord=%s\r\nPort=%s\r\nProxy=0\r\nProxyName=\r\nPassive=1\r\nAnonymous=0\r\nServerType=0\r\nStartDir=\r\n' \
    "$FTP_USER" "$FTP_PASSWORD" "$(cat "$dir/port")" >"$file"
  ;;
*)
  echo "usage: localftp.sh start|stop BUILD, or profile BUILD FILE" >&2
  exit 2
  ;;
esac
