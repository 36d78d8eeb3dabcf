#!/bin/bash
# Runs the network link benchmark: makes the namespaces qxA and qxB, runs the
# benchmark inside qxA against qx-looper-sim in qxB, and removes them again.
# Usage: bench/net/run-net-bench.sh [BUILD_DIR]   (root; default build dir: build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build}
bench="$build/bin/net_link_bench"
[ -x "$bench" ] || { echo "no $bench; build the net_link_bench target first" >&2; exit 1; }
trap '"$root/scripts/netns-teardown.sh"' EXIT
"$root/scripts/netns-setup.sh" >/dev/null
ip netns exec qxA "$bench"
