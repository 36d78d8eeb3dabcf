#!/usr/bin/env bash
# Builds the panel and launches it. Pass --demo to try it without a pedal.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
exec build/bin/qxctl monitor "$@"
