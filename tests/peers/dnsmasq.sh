#!/usr/bin/env bash
# Test peer: dnsmasq, a DNS server on 127.0.0.1:PORT_DNS (UDP, and TCP),
# answering only from the records below: no upstream servers, no hosts file,
# no system configuration. Answers carry TTL 600 and the AA bit, records of
# one name come in the order listed here.
#   dnsmasq.sh start|stop BUILD PORTBASE
#
#   host.nembra.test       A     192.0.2.10
#   multi.nembra.test      A     192.0.2.21, 192.0.2.22, 192.0.2.23
#   v6.nembra.test         AAAA  2001:db8::10
#   nembra.test            MX    10 mx1.nembra.test, 20 mx2.nembra.test
#   mx1.nembra.test        A     192.0.2.31
#   mx2.nembra.test        A     192.0.2.32
#   txt.nembra.test        TXT   "nembra test record"
#   50.2.0.192.in-addr.arpa  PTR ptr01.nembra.test ... ptr11.nembra.test (11)
#   10.2.0.192.in-addr.arpa  PTR host.nembra.test
#   loc.nembra.test        LOC   42 21 54.000 N 71 06 18.000 W -24.00m
#                                30m 2000m 50m (size, horizontal and vertical
#                                precision), RDATA (RFC 1876):
#                                00 33 25 53 89172dd0 70be15f0 00988d20
# Any other name under nembra.test or 2.0.192.in-addr.arpa (e.g.
# none.nembra.test) answers NXDOMAIN (rcode 3); names elsewhere are refused
# (rcode 5). Log of every query: dnsmasq.log.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/ports.sh"
. "$here/lib.sh"
dir=$2/peers/dnsmasq
mkdir -p "$dir"

case $1 in
start)
  alive "$dir/dnsmasq.pid" && exit 0
  ports_free dnsmasq "udp:$PORT_DNS" "$PORT_DNS"
  records=(
    --host-record=host.nembra.test,192.0.2.10
    --address=/multi.nembra.test/192.0.2.23
    --address=/multi.nembra.test/192.0.2.22
    --address=/multi.nembra.test/192.0.2.21
    --host-record=v6.nembra.test,2001:db8::10
    --mx-host=nembra.test,mx2.nembra.test,20
    --mx-host=nembra.test,mx1.nembra.test,10
    --host-record=mx1.nembra.test,192.0.2.31
    --host-record=mx2.nembra.test,192.0.2.32
    --txt-record=txt.nembra.test,"nembra test record"
    --dns-rr=loc.nembra.test,29,00:33:25:53:89:17:2d:d0:70:be:15:f0:00:98:8d:20
  )
  # dnsmasq answers a name's records in the reverse of the order given.
  for i in 11 10 09 08 07 06 05 04 03 02 01; do
    records+=(--ptr-record=50.2.0.192.in-addr.arpa,ptr$i.nembra.test)
  done
  run_detached "$dir/dnsmasq.pid" "$dir/stdout.log" dnsmasq \
    --keep-in-foreground --conf-file=/dev/null --no-resolv --no-hosts --no-poll \
    --pid-file= --user=nobody --group=nogroup \
    --port="$PORT_DNS" --listen-address=127.0.0.1 --bind-interfaces \
    --local=/nembra.test/ --local=/2.0.192.in-addr.arpa/ --local-ttl=600 \
    --log-queries --log-facility="$dir/dnsmasq.log" \
    "${records[@]}"
  wait_port "$PORT_DNS" udp
  ;;
stop)
  stop_pid "$dir/dnsmasq.pid"
  ;;
esac
