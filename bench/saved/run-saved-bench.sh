#!/bin/bash
# Runs the save/restore benchmark over JACK MIDI, then over the network between
# the namespaces qxsavedA and qxsavedB, which it makes and removes again.
# Usage: bench/saved/run-saved-bench.sh [BUILD_DIR] [ROUNDS]   (root)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build}
rounds=${2:-3}
bench="$build/bin/bench_saved_transfer"
[ -x "$bench" ] || { echo "no $bench; build the bench_saved_transfer target first" >&2; exit 1; }
"$bench" midi "$rounds"
export QX_NETNS_A=qxsavedA QX_NETNS_B=qxsavedB
trap '"$root/scripts/netns-teardown.sh"' EXIT
"$root/scripts/netns-setup.sh" >/dev/null
ip netns exec qxsavedA "$bench" net "$rounds"
