#!/usr/bin/env bash
# Test peer: two hosts in network namespaces behind the root namespace.
#   root  P.1 --- P.2  router  P.5 --- P.6  far host (also P.9 on its lo)
# P is a private /24 chosen from the port base, so that build trees with
# different bases can run at once. The router forwards, answers TTL 1 with
# "time exceeded", and drops everything sent to P.9 (a target that never
# answers). The addresses are written to BUILD/peers/netns/hosts for the tests.
#   netns.sh start|stop BUILD PORTBASE
set -euo pipefail
base=${3:-${NEMBRA_PORT_BASE:-20000}}
n=$(( (base / 100) % 16384 ))
P=10.$(( 64 + n / 256 )).$(( n % 256 ))
r=nembra-r$base
h=nembra-h$base
va=nb${base}a vb=nb${base}b vc=nb${base}c vd=nb${base}d
dir=$2/peers/netns
hosts=$dir/hosts

stop() {
  rm -f "$hosts"
  ip netns del "$r" 2>/dev/null || true
  ip netns del "$h" 2>/dev/null || true
  ip link del "$va" 2>/dev/null || true
}

case $1 in
start)
  stop
  ip netns add "$r"
  ip netns add "$h"
  ip link add "$va" type veth peer name "$vb" netns "$r"
  ip -n "$r" link add "$vc" type veth peer name "$vd" netns "$h"

  ip addr add "$P.1/30" dev "$va"
  ip link set "$va" up
  ip route add "$P.0/24" via "$P.2" dev "$va"

  ip -n "$r" link set lo up
  ip -n "$r" addr add "$P.2/30" dev "$vb"
  ip -n "$r" addr add "$P.5/30" dev "$vc"
  ip -n "$r" link set "$vb" up
  ip -n "$r" link set "$vc" up
  ip -n "$r" route add "$P.9/32" via "$P.6" dev "$vc"
  ip netns exec "$r" sysctl -q -w net.ipv4.ip_forward=1
  # Every TTL 1 echo gets its "time exceeded", however many come at once.
  ip netns exec "$r" sysctl -q -w net.ipv4.icmp_ratelimit=0
  ip netns exec "$r" nft -f - <<NFT
table inet nembra {
  chain forward {
    type filter hook forward priority 0; policy accept;
    ip daddr $P.9 drop
  }
}
NFT

  ip -n "$h" link set lo up
  ip -n "$h" addr add "$P.9/32" dev lo
  ip -n "$h" addr add "$P.6/30" dev "$vd"
  ip -n "$h" link set "$vd" up
  ip -n "$h" route add default via "$P.5" dev "$vd"

  # The far host answers through the router before any test starts.
  for _ in $(seq 1 50); do
    if ping -c 1 -W 1 "$P.6" >/dev/null 2>&1; then
      mkdir -p "$dir"
      printf 'router=%s\nfar=%s\ndropped=%s\n' "$P.2" "$P.6" "$P.9" >"$hosts"
      exit 0
    fi
    sleep 0.1
  done
  echo "the far host $P.6 does not answer" >&2
  exit 1
  ;;
stop)
  stop
  ;;
esac
