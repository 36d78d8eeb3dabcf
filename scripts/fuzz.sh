#!/usr/bin/env bash
# Builds the libFuzzer targets (clang 14, ASan + UBSan) and runs each for a
# bounded time: `bash scripts/fuzz.sh` gives every target 60 s,
# `bash scripts/fuzz.sh 3600` an hour. Targets run two at a time on separate
# cores (QX_FUZZ_JOBS overrides); QX_FUZZ_TARGETS="handle_sysex config_file"
# picks some. Before fuzzing, every known reproducer under
# fuzz/corpus/regressions/<target>/ is run once.
#
# The build goes to build-fuzz (QX_FUZZ_BUILD_DIR overrides). New inputs go
# to build-fuzz/corpus/<target> (the committed seeds under
# fuzz/corpus/<target> are only read); crashes, leaks and time-outs go to
# build-fuzz/artifacts/. Exit status 1 when any target failed.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
jobs=${QX_FUZZ_JOBS:-$(nproc)}
dir=${QX_FUZZ_BUILD_DIR:-build-fuzz}

CC=clang-14 CXX=clang++-14 cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQX_BUILD_FUZZ=ON \
  -DQX_BUILD_APP=OFF -DQX_BUILD_TESTS=OFF -DQX_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" --target fuzz_all -j "$(nproc)"

if [ -n "${QX_FUZZ_TARGETS:-}" ]; then
  read -r -a targets <<<"$QX_FUZZ_TARGETS"
else
  targets=()
  for binary in "$dir"/bin/fuzz_*; do targets+=("${binary##*/fuzz_}"); done
fi

mkdir -p "$dir/artifacts" "$dir/logs" "$dir/tmp"
# The configuration-file target writes its input to a file; keep it here.
export TMPDIR=$(cd "$dir/tmp" && pwd)
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

failed=()

# Known reproducers: each must now run clean.
for target in "${targets[@]}"; do
  regressions=fuzz/corpus/regressions/$target
  [ -d "$regressions" ] || continue
  for input in "$regressions"/*; do
    if "$dir/bin/fuzz_$target" "$input" >"$dir/logs/$target-regression.log" 2>&1; then
      echo "fuzz: $target regression ${input##*/}: ok"
    else
      echo "fuzz: $target regression ${input##*/}: FAILED (see $dir/logs/$target-regression.log)"
      failed+=("$target:${input##*/}")
    fi
  done
done

# -max_len keeps mutation cheap; 16 KB is room for a full configuration file.
# The session stream keeps one session across inputs: its inputs go up to
# 1 MB, so that a flood reaches past every bound the session keeps, and
# libFuzzer's leak check after each input is off, since the memory the session
# keeps on purpose would have every input run twice and the heap scanned; a
# leak still fails the run when the target exits.
declare -A max_len_of=([session_stream]=1048576)
declare -A options_of=([session_stream]="-detect_leaks=0")

run_target() {
  local target=$1
  mkdir -p "$dir/corpus/$target"
  "$dir/bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len="${max_len_of[$target]:-16384}" ${options_of[$target]:-} \
    -print_final_stats=1 -artifact_prefix="$dir/artifacts/$target-" \
    "$dir/corpus/$target" "fuzz/corpus/$target" >"$dir/logs/$target.log" 2>&1
}

# Runs the targets, at most $jobs at a time, and waits for each by its PID.
declare -A target_of=()
status_of=()
wait_for_one() {
  local finished rc
  wait -n -p finished "${!target_of[@]}" && rc=0 || rc=$?
  status_of+=("${target_of[$finished]}=$rc")
  unset "target_of[$finished]"
}
for target in "${targets[@]}"; do
  while [ "${#target_of[@]}" -ge "$jobs" ]; do wait_for_one; done
  echo "fuzz: $target for $seconds s"
  run_target "$target" &
  target_of[$!]=$target
done
while [ "${#target_of[@]}" -gt 0 ]; do wait_for_one; done

# One line per target: the figures of libFuzzer's last status line.
printf '%-18s %8s %8s %8s %10s %s\n' target runs cov ft exec/s result
for entry in "${status_of[@]}"; do
  target=${entry%%=*}
  rc=${entry#*=}
  log=$dir/logs/$target.log
  last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
  runs=$(sed -nE 's/^#([0-9]+).*/\1/p' <<<"$last")
  cov=$(sed -nE 's/.* cov: ([0-9]+).*/\1/p' <<<"$last")
  ft=$(sed -nE 's/.* ft: ([0-9]+).*/\1/p' <<<"$last")
  execs=$(sed -nE 's/^stat::average_exec_per_sec: *([0-9]+).*/\1/p' "$log")
  if [ "$rc" = 0 ]; then
    result=ok
  else
    result="FAILED ($(grep -m1 -oE 'ERROR: [A-Za-z]+: [^ ]+( [^ ]+)?|invariant broken: .*' "$log" || echo "exit $rc")); see $log"
    failed+=("$target")
  fi
  printf '%-18s %8s %8s %8s %10s %s\n' "$target" "${runs:-?}" "${cov:-?}" "${ft:-?}" "${execs:-?}" "$result"
done

if [ "${#failed[@]}" -gt 0 ]; then
  echo "fuzz: failed: ${failed[*]}"
  exit 1
fi
