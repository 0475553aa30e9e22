#!/usr/bin/env bash
# Test peer: tinyproxy, an HTTP proxy on 127.0.0.1:PORT_HTTP_PROXY with a
# throw-away configuration.
#   tinyproxy.sh start|stop BUILD PORTBASE
# Takes absolute request lines ("GET http://127.0.0.1:PORT/x HTTP/1.0") and
# CONNECT from 127.0.0.1, without authentication, and forwards only to the
# hosts 127.0.0.1 and localhost (others: 403 "Filtered"). Adds a "Via" header
# naming "nembra-proxy". Log: tinyproxy.log.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/ports.sh"
. "$here/lib.sh"
dir=$2/peers/tinyproxy
mkdir -p "$dir"

case $1 in
start)
  alive "$dir/tinyproxy.pid" && exit 0
  ports_free tinyproxy "$PORT_HTTP_PROXY"
  printf '^127\\.0\\.0\\.1$\n^localhost$\n' >"$dir/filter"
  # tinyproxy writes its log as the unprivileged user.
  : >"$dir/tinyproxy.log"
  chown nobody "$dir/tinyproxy.log"
  cat >"$dir/tinyproxy.conf" <<CONF
User nobody
Group nogroup
Port $PORT_HTTP_PROXY
Listen 127.0.0.1
Allow 127.0.0.1
Timeout 120
MaxClients 50
LogFile "$dir/tinyproxy.log"
LogLevel Info
ViaProxyName "nembra-proxy"
FilterType ere
Filter "$dir/filter"
FilterDefaultDeny Yes
CONF
  run_detached "$dir/tinyproxy.pid" "$dir/stdout.log" tinyproxy -d -c "$dir/tinyproxy.conf"
  wait_port "$PORT_HTTP_PROXY"
  ;;
stop)
  stop_pid "$dir/tinyproxy.pid"
  ;;
esac
