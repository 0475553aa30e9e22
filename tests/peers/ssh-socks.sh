#!/usr/bin/env bash
# Test peer: a SOCKS 4, 4A and 5 server (no authentication) on
# 127.0.0.1:PORT_SSH_SOCKS, made by OpenSSH's dynamic forwarding (ssh -N -D)
# through an sshd of our own on 127.0.0.1:PORT_SSHD.
#   ssh-socks.sh start|stop BUILD PORTBASE
# sshd: host key, configuration and log in BUILD/peers/ssh-socks; key login
# only, for the system account "nembrassh" (no shell, no home, no password),
# whose key is made here too. sshd forwards only to 127.0.0.1 and localhost;
# other destinations are refused (SOCKS failure reply). SOCKS 4A and SOCKS 5
# host names are resolved by sshd. Logs: sshd.log, ssh.log.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/ports.sh"
. "$here/lib.sh"
dir=$2/peers/ssh-socks
mkdir -p "$dir"
SSH_USER=nembrassh

case $1 in
start)
  alive "$dir/sshd.pid" && alive "$dir/ssh.pid" && exit 0
  ensure_account "$SSH_USER" '*' "Nembra SSH SOCKS test"
  [ -f "$dir/host_key" ] || ssh-keygen -q -t ed25519 -N '' -C nembra-host -f "$dir/host_key"
  [ -f "$dir/client_key" ] || ssh-keygen -q -t ed25519 -N '' -C nembra-client -f "$dir/client_key"
  cp "$dir/client_key.pub" "$dir/authorized_keys"
  printf '[127.0.0.1]:%s %s\n' "$PORT_SSHD" "$(cut -d' ' -f1-2 "$dir/host_key.pub")" >"$dir/known_hosts"
  # sshd's compiled-in folder for its unprivileged child (what the package's
  # service would make); empty and shared by every sshd.
  mkdir -p -m 755 /run/sshd
  v=$PEER_VIEW
  cat >"$dir/sshd_config" <<CONF
Port $PORT_SSHD
ListenAddress 127.0.0.1
HostKey $v/host_key
PidFile none
AuthorizedKeysFile $v/authorized_keys
StrictModes no
UsePAM no
PubkeyAuthentication yes
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin no
AllowUsers $SSH_USER
AllowTcpForwarding local
AllowAgentForwarding no
AllowStreamLocalForwarding no
PermitOpen 127.0.0.1:* localhost:*
X11Forwarding no
PermitTTY no
PrintMotd no
UseDNS no
ClientAliveInterval 30
LogLevel VERBOSE
CONF
  cat >"$dir/ssh_config" <<CONF
Host *
  Port $PORT_SSHD
  User $SSH_USER
  IdentityFile $dir/client_key
  IdentitiesOnly yes
  UserKnownHostsFile $dir/known_hosts
  GlobalKnownHostsFile /dev/null
  StrictHostKeyChecking yes
  BatchMode yes
  ExitOnForwardFailure yes
  ConnectTimeout 5
  ServerAliveInterval 30
  ServerAliveCountMax 3
  ControlPath none
  LogLevel VERBOSE
CONF
  if ! alive "$dir/sshd.pid"; then
    ports_free sshd "$PORT_SSHD"
    "$here/mounted.sh" "$dir" "$v" -- /usr/sbin/sshd -t -f "$v/sshd_config"
    run_detached "$dir/sshd.pid" "$dir/stdout.log" \
      "$here/mounted.sh" "$dir" "$v" -- /usr/sbin/sshd -D -f "$v/sshd_config" -E "$v/sshd.log"
    wait_port "$PORT_SSHD"
  fi
  stop_pid "$dir/ssh.pid"
  ports_free ssh-socks "$PORT_SSH_SOCKS"
  run_detached "$dir/ssh.pid" "$dir/stdout.log" \
    ssh -F "$dir/ssh_config" -E "$dir/ssh.log" -N -D "127.0.0.1:$PORT_SSH_SOCKS" 127.0.0.1
  wait_port "$PORT_SSH_SOCKS" || { tail -n 5 "$dir/ssh.log" "$dir/sshd.log" >&2; exit 1; }
  ;;
stop)
  stop_pid "$dir/ssh.pid"
  stop_pid "$dir/sshd.pid"
  ;;
esac
