#!/bin/bash
# Removes the two network namespaces of the network link's integration tests
# (and with them their veth pairs). Safe to run when they do not exist.
A=${QX_NETNS_A:-qxA}
B=${QX_NETNS_B:-qxB}
for ns in "$A" "$B"; do
  if ip netns list | grep -qw "^$ns"; then ip netns del "$ns"; fi
done
exit 0
