#!/usr/bin/env bash
# Builds everything and runs every test: the normal build, then the Debian
# package (built, checked, installed, its programs run, removed), then the
# suite again under AddressSanitizer + UndefinedBehaviorSanitizer and under
# ThreadSanitizer, then a short run of every fuzz target. Installs what it
# needs first. Prints the time each part took; exits 1 when any part failed.
#
#   QX_SKIP_PACKAGE=1      no Debian package build and check
#   QX_SKIP_SANITIZERS=1   only the normal build and tests
#   QX_SKIP_FUZZ=1         no fuzz run
#   QX_FUZZ_SECONDS=N      seconds per fuzz target (default 60)
#   QX_CI_LIMIT_MINUTES=N  the whole run must stay inside this (default 90);
#                          the fuzz run shrinks or is left out to fit
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh || exit 1

jobs=$(nproc)
ci_start=$SECONDS
failed=()
timings=()

run_suite() {
  local dir=$1; shift
  echo "== $dir: configure and build"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null &&
    cmake --build "$dir" -j "$jobs" &&
    echo "== $dir: tests" &&
    (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 600)
}

# Runs one part, timing it and keeping its result for the summary.
part() {
  local name=$1; shift
  local start=$SECONDS result=ok
  "$@" || result=FAILED
  timings+=("$(printf '%-28s %6d s  %s' "$name" $((SECONDS - start)) "$result")")
  echo "== $name took $((SECONDS - start)) s: $result"
  [ "$result" = ok ] || failed+=("$name")
}

part "normal build and tests" run_suite build

if [ "${QX_SKIP_PACKAGE:-0}" != 1 ]; then
  part "Debian package" bash scripts/check-package.sh
fi

if [ "${QX_SKIP_SANITIZERS:-0}" != 1 ]; then
  # Leaks fail the run; UBSan stops at the first finding with its stack.
  # Suppressions cover uninstrumented third-party libraries only; each says why.
  ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp" \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    part "ASan/UBSan build and tests" run_suite build-asan -DQX_SANITIZE=address -DQX_BUILD_BENCH=OFF
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/scripts/tsan.supp" \
    part "TSan build and tests" run_suite build-tsan -DQX_SANITIZE=thread -DQX_BUILD_BENCH=OFF
fi

if [ "${QX_SKIP_FUZZ:-0}" != 1 ]; then
  # The fuzz run gets what is left of the limit, less the build of the fuzz
  # targets and a margin; each round runs $jobs targets side by side.
  limit=$(( ${QX_CI_LIMIT_MINUTES:-90} * 60 ))
  left=$(( limit - (SECONDS - ci_start) - 600 ))
  targets=$(ls fuzz/*_fuzz.cpp | wc -l)
  rounds=$(( (targets + jobs - 1) / jobs ))
  seconds=${QX_FUZZ_SECONDS:-60}
  if [ $(( left / rounds )) -lt "$seconds" ]; then seconds=$(( left / rounds )); fi
  if [ "$seconds" -ge 10 ]; then
    part "fuzz, ${seconds} s per target" bash scripts/fuzz.sh "$seconds"
  else
    echo "== fuzz left out: $(( (SECONDS - ci_start) / 60 )) of ${QX_CI_LIMIT_MINUTES:-90} minutes are gone"
    timings+=("$(printf '%-28s %6s    %s' "fuzz" "-" "left out: no time left")")
  fi
fi

echo "== summary (total $(( (SECONDS - ci_start) / 60 )) min $(( (SECONDS - ci_start) % 60 )) s)"
printf '%s\n' "${timings[@]}"
if [ "${#failed[@]}" -gt 0 ]; then
  echo "== failed: ${failed[*]}"
  exit 1
fi
