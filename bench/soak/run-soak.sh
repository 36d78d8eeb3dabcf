#!/bin/bash
# Runs the soak benchmark over each link: MIDI (its own JACK server on the
# dummy driver), then the network inside the namespaces qxsoakA and qxsoakB,
# which it makes and removes again. Root, for the namespaces.
# Usage: bench/soak/run-soak.sh [MINUTES] [BUILD_DIR]   (defaults: 10, build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
minutes=${1:-10}
build=${2:-$root/build}
bench="$build/bin/soak_bench"
[ -x "$bench" ] || { echo "no $bench; build the soak_bench target first" >&2; exit 1; }

"$bench" midi "$minutes"

export QX_NETNS_A=qxsoakA QX_NETNS_B=qxsoakB
trap '"$root/scripts/netns-teardown.sh"' EXIT
"$root/scripts/netns-setup.sh" >/dev/null
ip netns exec qxsoakA "$bench" udp "$minutes"
