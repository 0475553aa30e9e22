#!/usr/bin/env bash
# Test peer: two dante SOCKS servers (danted) with throw-away configurations.
#   dante.sh start|stop BUILD PORTBASE
# 127.0.0.1:PORT_SOCKS       SOCKS 4 and 5, no authentication.
# 127.0.0.1:PORT_SOCKS_AUTH  SOCKS 5 with the user name/password method only:
#                            user "nembrasocks", password "nembra-socks" (a
#                            system account without shell or home).
# Both connect from 127.0.0.1 and only to 127.0.0.0/8 (CONNECT, BIND and UDP
# ASSOCIATE). dante refuses SOCKS 4A (host names in SOCKS 4 requests); SOCKS 5
# host names (ATYP 3) are resolved by the server. Logs: noauth.log, auth.log.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/ports.sh"
. "$here/lib.sh"
dir=$2/peers/dante
mkdir -p "$dir"
SOCKS_USER=nembrasocks
SOCKS_PASSWORD=nembra-socks

# config NAME PORT METHOD: writes DIR/NAME.conf.
config() {
  cat >"$dir/$1.conf" <<CONF
logoutput: $dir/$1.log
internal: 127.0.0.1 port = $2
external: 127.0.0.1
clientmethod: none
socksmethod: $3
user.privileged: root
user.unprivileged: nobody
timeout.negotiate: 30
timeout.io: 300
client pass {
  from: 127.0.0.0/8 to: 0.0.0.0/0
}
socks pass {
  from: 127.0.0.0/8 to: 127.0.0.0/8
  command: connect bind udpassociate
  socksmethod: $3
}
socks pass {
  from: 127.0.0.0/8 to: 127.0.0.0/8
  command: bindreply udpreply
}
CONF
}

case $1 in
start)
  ensure_account "$SOCKS_USER" "$SOCKS_PASSWORD" "Nembra SOCKS test"
  for inst in noauth auth; do
    alive "$dir/$inst.pid" && continue
    if [ $inst = noauth ]; then
      ports_free dante "$PORT_SOCKS"
      config noauth "$PORT_SOCKS" none
    else
      ports_free dante "$PORT_SOCKS_AUTH"
      config auth "$PORT_SOCKS_AUTH" username
    fi
    danted -V -f "$dir/$inst.conf" >"$dir/$inst.check.log" 2>&1 ||
      { cat "$dir/$inst.check.log" >&2; exit 1; }
    run_detached "$dir/$inst.pid" "$dir/$inst.stdout.log" \
      danted -f "$dir/$inst.conf" -p "$dir/$inst.danted.pid"
  done
  wait_port "$PORT_SOCKS"
  wait_port "$PORT_SOCKS_AUTH"
  ;;
stop)
  stop_pid "$dir/noauth.pid"
  stop_pid "$dir/auth.pid"
  rm -f "$dir/noauth.danted.pid" "$dir/auth.danted.pid"
  ;;
esac
