#!/bin/bash
# Creates the two network namespaces of the network link's integration tests:
# the panel's side (qxA, 10.77.0.1/24) and the looper's side (qxB,
# 10.77.0.2/24, and 10.77.0.3/24 for a second responder on the same segment),
# joined by a veth pair. Each pair is made inside qxA with its peer moved
# straight into qxB, so no interface or address of the tests ever exists on
# this machine's own network. A second pair (10.77.1.1/24 on qxA's side) is up
# in qxA but its peer stays down: an interface that is up but not running.
# IPv6 is off in both, so nothing but the tests' own traffic moves.
# Runs as root; undo with netns-teardown.sh.
set -euo pipefail
A=${QX_NETNS_A:-qxA}
B=${QX_NETNS_B:-qxB}
here=$(dirname "$0")
"$here/netns-teardown.sh"  # leftovers of an interrupted run

ip netns add "$A"
ip netns add "$B"
for ns in "$A" "$B"; do
  ip netns exec "$ns" sysctl -q -w net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1
  ip -n "$ns" link set lo up
done

# The dead pair first, so that it comes first in qxA's interface list.
ip -n "$A" link add qxdead0 type veth peer name qxdead1 netns "$B"
ip -n "$A" addr add 10.77.1.1/24 dev qxdead0
ip -n "$B" addr add 10.77.1.2/24 dev qxdead1
ip -n "$A" link set qxdead0 up

ip -n "$A" link add qxlive0 type veth peer name qxlive1 netns "$B"
ip -n "$A" addr add 10.77.0.1/24 dev qxlive0
ip -n "$B" addr add 10.77.0.2/24 dev qxlive1
ip -n "$B" addr add 10.77.0.3/24 dev qxlive1
ip -n "$A" link set qxlive0 up
ip -n "$B" link set qxlive1 up
echo "netns ready: $A (10.77.0.1, 10.77.1.1 not running) <-> $B (10.77.0.2, 10.77.0.3)"
