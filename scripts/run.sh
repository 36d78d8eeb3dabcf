#!/usr/bin/env bash
# Builds the panel and opens its window. Pass --demo to try it without a pedal:
# the window then talks to the built-in simulated looper (no MIDI ports, no
# network).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQX_BUILD_APP=ON >/dev/null
cmake --build build -j "$(nproc)"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
  echo "run: no desktop display found (DISPLAY and WAYLAND_DISPLAY are empty); the window needs one" >&2
  exit 1
fi
exec build/bin/redovivevorev "$@"
