#!/usr/bin/env bash
# Test peer: nginx on 127.0.0.1:PORT_HTTP with a throw-away configuration.
#   nginx.sh start|stop BUILD PORTBASE
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/ports.sh"
. "$here/lib.sh"
dir=$2/peers/nginx
mkdir -p "$dir/www" "$dir/tmp"

case $1 in
start)
  alive "$dir/nginx.pid" && exit 0
  printf 'Hello from nginx\n' >"$dir/www/index.html"
  head -c 1048576 /dev/urandom >"$dir/www/large.bin"
  cat >"$dir/nginx.conf" <<CONF
daemon off;
worker_processes 1;
pid $dir/nginx.pid;
error_log $dir/error.log;
events { worker_connections 64; }
http {
  access_log $dir/access.log;
  client_body_temp_path $dir/tmp;
  proxy_temp_path $dir/tmp;
  fastcgi_temp_path $dir/tmp;
  uwsgi_temp_path $dir/tmp;
  scgi_temp_path $dir/tmp;
  types { text/html html; application/octet-stream bin; }
  server {
    listen 127.0.0.1:$PORT_HTTP;
    root $dir/www;
  }
}
CONF
  # nginx writes its own pid file; run_detached's copy is replaced by it.
  run_detached "$dir/launcher.pid" "$dir/stdout.log" nginx -c "$dir/nginx.conf" -p "$dir"
  wait_port "$PORT_HTTP"
  ;;
stop)
  stop_pid "$dir/launcher.pid"
  stop_pid "$dir/nginx.pid"
  ;;
esac
