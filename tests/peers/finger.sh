#!/usr/bin/env bash
# Test peer: efingerd on 127.0.0.1:79 (the finger port: build trees that test
# at once take turns, see start), run per connection by tests/peers/inetd.py as user nobody.
#   finger.sh start|stop BUILD PORTBASE
# Its answer scripts are ours (BUILD/peers/finger/efingerd, bound over the
# package's /etc/efingerd in a mount namespace that only this server sees).
# Every line ends with CR LF, and every answer with one empty line more.
# Query line (then CR LF) and the whole answer:
#   ""              "Login         Name", "nembrafinger  Nembra Finger",
#                   "nembraftp     Nembra FTP test", ""
#   "nembrafinger"  (a throw-away system account; any account answers alike)
#                   "Nembra Finger" (efingerd's full-name line),
#                   "Login: nembrafinger", "Name: Nembra Finger",
#                   "Plan: Testing Nembra's finger client.", ""
#   "nosuchuser"    (any name that is no account)
#                   "finger: nosuchuser: no such user.", ""
# efingerd does not know "/W": it turns "/" and blanks of the query into "_"
# ("/W" answers "finger: _W: no such user.").
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/ports.sh"
. "$here/lib.sh"
dir=$2/peers/finger
mkdir -p "$dir/efingerd"

case $1 in
start)
  alive "$dir/inetd.pid" && exit 0
  ensure_account nembrafinger '*' "Nembra Finger"
  # Port 79 is one for the whole machine: build trees take turns. The server
  # inherits the lock (fd 7) and holds it for as long as it runs.
  exec 7>/tmp/nembra-finger.lock
  deadline=$((SECONDS + 240))
  if ! flock -n 7; then
    echo "finger: tcp port 79 is held by another build tree's finger peer; waiting up to 240 s" >&2
    flock -w 240 7 || { echo "finger: tcp port 79 is still held by another build tree's finger peer" >&2; exit 1; }
  fi
  # A tree whose peer takes no lock may hold the port all the same.
  until ports_free finger "$PORT_FINGER" 2>/dev/null; do
    if [ "$SECONDS" -ge "$deadline" ]; then
      ports_free finger "$PORT_FINGER"
      exit 1
    fi
    sleep 1
  done
  # $1 remote user, $2 remote address, $3 the user asked for.
  cat >"$dir/efingerd/list" <<'SH'
#!/bin/sh
printf 'Login         Name\r\n'
printf 'nembrafinger  Nembra Finger\r\n'
printf 'nembraftp     Nembra FTP test\r\n'
SH
  cat >"$dir/efingerd/luser" <<'SH'
#!/bin/sh
printf 'Login: %s\r\n' "$3"
printf 'Name: %s\r\n' "$(getent passwd "$3" | cut -d: -f5 | cut -d, -f1)"
printf "Plan: Testing Nembra's finger client.\r\n"
SH
  cat >"$dir/efingerd/nouser" <<'SH'
#!/bin/sh
printf 'finger: %s: no such user.\r\n' "$3"
SH
  chmod 755 "$dir/efingerd" "$dir/efingerd/"*
  run_detached "$dir/inetd.pid" "$dir/stdout.log" "$here/mounted.sh" "$dir/efingerd" /etc/efingerd -- \
    /usr/bin/python3 "$here/inetd.py" 127.0.0.1 "$PORT_FINGER" nobody 20 efingerd -n -u -t 15
  wait_port "$PORT_FINGER"
  ;;
stop)
  stop_pid "$dir/inetd.pid"
  ;;
esac
