#!/usr/bin/env bash
# Test peer: nginx on 127.0.0.1:PORT_HTTP with a throw-away configuration.
#   nginx.sh start|stop BUILD PORTBASE
# Paths (http://127.0.0.1:PORT_HTTP...); every redirect is a 302:
#   /index.html           200, text/html, "Hello from nginx\n" (17 B); also "/"
#   /missing.html         404 (as is any path not listed here)
#   /large.bin            200, application/octet-stream, 4 MiB (4194304 B) of
#                         random bytes, new at every start; its SHA-256 in
#                         BUILD/peers/nginx/www/large.bin.sha256 ("HASH  large.bin",
#                         also served as /large.bin.sha256)
#   /redirect/relative    Location: /index.html (no scheme and host)
#   /redirect/sibling     Location: index.html (relative to /redirect/, so
#                         /redirect/index.html: a 404)
#   /redirect/absolute    Location: http://127.0.0.1:PORT_HTTP/index.html
#   /redirect/https       Location: https://127.0.0.1:PORT_HTTP/index.html
#   /redirect/ftp         Location: ftp://127.0.0.1/hello.txt
#   /loop/a, /loop/b      Location: /loop/b and /loop/a: a redirect loop
#   /chain/N (N 1-12)     Location: /chain/N-1, and /chain/1 to /index.html:
#                         N redirects before the document
#   /private/index.html   basic authentication: user "nembra", password
#                         "nembra-http" (else 401, realm "Nembra test"), then
#                         "Private hello\n"
#   /echo                 200, text/plain, for any method: the request as
#                         nginx saw it, lines "Method: M", "URI: U",
#                         "Host: H" (the Host header), "User-Agent: A",
#                         "Content-Length: N" (of a request body, discarded)
# HTTP/1.0 requests are answered with "Connection: close". Logs:
# access.log, error.log.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/ports.sh"
. "$here/lib.sh"
dir=$2/peers/nginx
mkdir -p "$dir/www" "$dir/tmp"

case $1 in
start)
  alive "$dir/launcher.pid" && exit 0
  ports_free nginx "$PORT_HTTP"
  rm -rf "$dir/www"
  mkdir -p "$dir/www/private"
  printf 'Hello from nginx\n' >"$dir/www/index.html"
  printf 'Private hello\n' >"$dir/www/private/index.html"
  head -c 4194304 /dev/urandom >"$dir/www/large.bin"
  (cd "$dir/www" && sha256sum large.bin >large.bin.sha256)
  printf 'nembra:%s\n' "$(openssl passwd -apr1 -salt nembra nembra-http)" >"$dir/htpasswd"
  chains=
  for n in $(seq 2 12); do
    chains="$chains    location = /chain/$n { return 302 /chain/$((n - 1)); }
"
  done
  v=$PEER_VIEW
  cat >"$dir/nginx.conf" <<CONF
daemon off;
worker_processes 1;
pid $v/nginx.pid;
error_log $v/error.log;
events { worker_connections 64; }
http {
  access_log $v/access.log;
  client_body_temp_path $v/tmp;
  proxy_temp_path $v/tmp;
  fastcgi_temp_path $v/tmp;
  uwsgi_temp_path $v/tmp;
  scgi_temp_path $v/tmp;
  types { text/html html; application/octet-stream bin; text/plain sha256; }
  server {
    listen 127.0.0.1:$PORT_HTTP;
    root $v/www;
    absolute_redirect off;
    location = /redirect/relative { return 302 /index.html; }
    location = /redirect/sibling { return 302 index.html; }
    location = /redirect/absolute { return 302 http://127.0.0.1:$PORT_HTTP/index.html; }
    location = /redirect/https { return 302 https://127.0.0.1:$PORT_HTTP/index.html; }
    location = /redirect/ftp { return 302 ftp://127.0.0.1/hello.txt; }
    location = /loop/a { return 302 /loop/b; }
    location = /loop/b { return 302 /loop/a; }
$chains    location = /chain/1 { return 302 /index.html; }
    location /private/ {
      auth_basic "Nembra test";
      auth_basic_user_file $v/htpasswd;
    }
    location = /echo {
      default_type text/plain;
      return 200 "Method: \$request_method\nURI: \$request_uri\nHost: \$http_host\nUser-Agent: \$http_user_agent\nContent-Length: \$content_length\n";
    }
  }
}
CONF
  "$here/mounted.sh" "$dir" "$v" -- nginx -t -q -c "$v/nginx.conf" -p "$v" 2>"$dir/configtest.log" ||
    { cat "$dir/configtest.log" >&2; exit 1; }
  # nginx also writes its own pid file (the same process).
  run_detached "$dir/launcher.pid" "$dir/stdout.log" \
    "$here/mounted.sh" "$dir" "$v" -- nginx -c "$v/nginx.conf" -p "$v"
  wait_port "$PORT_HTTP"
  ;;
stop)
  stop_pid "$dir/launcher.pid"
  stop_pid "$dir/nginx.pid"
  ;;
esac
