#!/bin/bash
# The window's footprint while it polls the simulated looper over JACK: its
# share of a core, its resident size with and without shared memory, and how
# many JACK clients it is. The window runs offscreen inside a network
# namespace of its own with no interface but loopback, so its network side
# finds nothing and sends nothing beyond it. Root, for the namespace.
# Usage: bench/midi/window-footprint.sh [SECONDS] [BUILD_DIR]   (defaults: 30, build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
seconds=${1:-30}
build=${2:-$root/build}
ns=qxfootprint
export JACK_DEFAULT_SERVER=qx-footprint-$$
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  ip netns del "$ns" 2>/dev/null || true
}
trap cleanup EXIT

jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >/dev/null 2>&1 &
pids+=($!)
sleep 2
exec 3< <(sleep $((seconds + 30)))  # keeps the looper's standard input open
"$build/bin/qx-looper-sim" --jack <&3 >/dev/null 2>&1 &
pids+=($!)
ip netns add "$ns"
ip -n "$ns" link set lo up
QT_QPA_PLATFORM=offscreen ip netns exec "$ns" "$build/bin/redovivevorev" >/dev/null 2>&1 &
window=$!
pids+=("$window")
sleep 5  # found and polling
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
start=$(ticks "$window")
sleep "$seconds"
used=$(( $(ticks "$window") - start ))
hz=$(getconf CLK_TCK)
kb() { awk -v f="$1:" '$1 == f {print $2}' "/proc/$window/status"; }
rss=$(kb VmRSS) shm=$(kb RssShmem)
awk -v u="$used" -v hz="$hz" -v s="$seconds" 'BEGIN {printf "window polling over JACK for %d s: %.2f%% of a core\n", s, 100 * u / hz / s}'
awk -v r="$rss" -v m="$shm" 'BEGIN {printf "resident %.1f MB, of it shared memory %.1f MB, without it %.1f MB\n", r/1024, m/1024, (r-m)/1024}'
echo "JACK clients of the window: $(jack_lsp 2>/dev/null | grep '^REDOVIVevorev' | cut -d: -f1 | sort -u | wc -l)"
