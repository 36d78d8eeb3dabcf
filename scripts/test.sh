#!/usr/bin/env bash
# Builds everything and runs every test: the normal build, then the suite
# again under AddressSanitizer + UndefinedBehaviorSanitizer and under
# ThreadSanitizer. Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)
run_suite() {
  local dir=$1; shift
  echo "== $dir: configure and build"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  echo "== $dir: tests"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 600)
}

start=$SECONDS
run_suite build
echo "== normal build and tests took $((SECONDS - start)) s"

if [ "${QX_SKIP_SANITIZERS:-0}" != 1 ]; then
  start=$SECONDS
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    run_suite build-asan -DQX_SANITIZE=address -DQX_BUILD_APP=OFF -DQX_BUILD_BENCH=OFF
  echo "== ASan/UBSan build and tests took $((SECONDS - start)) s"
  start=$SECONDS
  TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/scripts/tsan.supp" \
    run_suite build-tsan -DQX_SANITIZE=thread -DQX_BUILD_APP=OFF -DQX_BUILD_BENCH=OFF
  echo "== TSan build and tests took $((SECONDS - start)) s"
fi
