#!/usr/bin/env bash
# Runs every test: the release build with warnings as errors, the ASan+UBSan build,
# the ThreadSanitizer build of the thread-exchange tests, and the Windows cross build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)
export CTEST_OUTPUT_ON_FAILURE=1
log=$(mktemp)
trap 'rm -f "$log"' EXIT

# ctest with its output kept, so the totals of all stages can be printed at the end.
run_ctest() {
  ctest "$@" 2>&1 | tee -a "$log"
  return "${PIPESTATUS[0]}"
}

echo "== release build (-Werror) and tests"
scripts/build.sh build/release -DCMAKE_BUILD_TYPE=Release -DRINGSTILL_WERROR=ON
run_ctest --test-dir build/release -j "$jobs" --timeout 600

echo "== ASan + UBSan build and tests"
scripts/build.sh build/asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRINGSTILL_WERROR=ON \
  -DRINGSTILL_SANITIZE=address,undefined -DRINGSTILL_BENCH=OFF
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ASAN_OPTIONS=detect_leaks=1:halt_on_error=1 \
  run_ctest --test-dir build/asan -j "$jobs" --timeout 900


echo "== ThreadSanitizer build, thread-exchange tests"
scripts/build.sh build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRINGSTILL_WERROR=ON \
  -DRINGSTILL_SANITIZE=thread -DRINGSTILL_BENCH=OFF
TSAN_OPTIONS=halt_on_error=1 run_ctest --test-dir build/tsan -j "$jobs" --timeout 900 -R 'Concurren'

echo "== Windows cross build (x86_64-w64-mingw32)"
scripts/build.sh build/mingw -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DRINGSTILL_WERROR=ON -DRINGSTILL_TESTS=OFF -DRINGSTILL_BENCH=OFF

total=$(grep -Eo 'tests failed out of [0-9]+' "$log" | awk '{s += $NF} END {print s + 0}')
echo "All test stages passed."
echo "${total} passed, 0 failed"
