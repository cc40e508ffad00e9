#!/usr/bin/env bash
# The long hostile-input run: tests/test_vst3_hostile of each build tree, in shards of fresh
# processes with seeds of their own, and what they found: inputs tried, findings (a broken promise
# the run checks), crashes (a shard that died) and sanitizer reports.
#
# Usage: scripts/soak.sh [INPUTS [BUILD_DIR...]]
#   INPUTS     inputs per build tree, default 1000000
#   BUILD_DIR  build trees holding tests/test_vst3_hostile, default build/release build/asan
#              (a tree whose name holds "tsan" runs the two-thread test only)
# Environment: RINGSTILL_SOAK_SHARD inputs per process (default 50000), RINGSTILL_SOAK_SEED first
# seed (default 1), RINGSTILL_SOAK_JOBS processes at once (default 1), RINGSTILL_SOAK_LOGS where the
# shards' output goes (default build/soak).
# Exit status 0 only when every build tree ran every input with nothing found.
set -uo pipefail
cd "$(dirname "$0")/.."

inputs=${1:-1000000}
shift || true
dirs=("$@")
[ ${#dirs[@]} -eq 0 ] && dirs=(build/release build/asan)
shard=${RINGSTILL_SOAK_SHARD:-50000}
first_seed=${RINGSTILL_SOAK_SEED:-1}
jobs=${RINGSTILL_SOAK_JOBS:-1}
logs=${RINGSTILL_SOAK_LOGS:-build/soak}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1}

# One shard: its log and, on the last line, its exit status.
run_shard() {
  local binary=$1 filter=$2 seed=$3 count=$4 log=$5
  RINGSTILL_HOSTILE_SEED=$seed RINGSTILL_HOSTILE_INPUTS=$count \
    "$binary" --gtest_filter="$filter" >"$log" 2>&1
  echo "exit $?" >>"$log"
}

status=0
for dir in "${dirs[@]}"; do
  binary=$dir/tests/test_vst3_hostile
  if [ ! -x "$binary" ]; then
    echo "soak: no $binary (build it: cmake --build $dir --target test_vst3_hostile)" >&2
    exit 2
  fi
  filter='Vst3Hostile*'
  case $(basename "$dir") in *tsan*) filter='*Concurrency*' ;; esac
  out=$logs/$(basename "$dir")
  rm -rf "$out"
  mkdir -p "$out"
  shards=$(( (inputs + shard - 1) / shard ))
  start=$SECONDS
  for ((i = 0; i < shards; i++)); do
    count=$(( i == shards - 1 ? inputs - i * shard : shard ))
    run_shard "$binary" "$filter" $((first_seed + i)) "$count" "$out/shard-$i.log" &
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n; done
  done
  wait
  seconds=$((SECONDS - start))

  tried=0 findings=0 crashes=0 reports=0
  for log in "$out"/shard-*.log; do
    while read -r n f; do
      tried=$((tried + n)); findings=$((findings + f))
    done < <(sed -n 's/^hostile .*, \([0-9]*\) inputs, \([0-9]*\) findings.*/\1 \2/p' "$log")
    code=$(sed -n 's/^exit \([0-9]*\)$/\1/p' "$log" | tail -1)
    r=$(grep -cE 'ERROR: AddressSanitizer|ERROR: LeakSanitizer|runtime error:|WARNING: ThreadSanitizer' "$log")
    reports=$((reports + r))
    # A shard that ended by a signal or without its summaries died (unless a sanitizer stopped it).
    if [ "$r" -eq 0 ] && { [ "${code:-255}" -ge 128 ] || ! grep -q '^hostile ' "$log"; }; then
      crashes=$((crashes + 1))
    fi
  done
  printf '%s: %d inputs in %d s, %d findings, %d crashes, %d sanitizer reports (%d shards, logs in %s)\n' \
    "$dir" "$tried" "$seconds" "$findings" "$crashes" "$reports" "$shards" "$out"
  if [ "$findings" -ne 0 ] || [ "$crashes" -ne 0 ] || [ "$reports" -ne 0 ] || [ "$tried" -eq 0 ]; then
    status=1
  fi
done
exit $status
