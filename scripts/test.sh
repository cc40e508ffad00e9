#!/usr/bin/env bash
# Runs every test in the four configurations of CMakePresets.json: the Windows cross build with its
# tests under wine, the release build with warnings as errors (which also compares its renders with
# the Windows build's), the ASan+UBSan build, and the ThreadSanitizer build of the thread-exchange
# tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)
export CTEST_OUTPUT_ON_FAILURE=1
log=$(mktemp)

# One wine prefix inside the build tree, and one wine server kept running for every test that
# starts a Windows binary (each would otherwise pay for starting a server of its own).
export WINEPREFIX="$PWD/build/wine-prefix" WINEDEBUG=-all
xvfb_pid=""
cleanup() {
  rm -f "$log" "$log.display"
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  if [ -d "$WINEPREFIX" ]; then wineserver -k >/dev/null 2>&1 || true; fi
}
trap cleanup EXIT

# ctest with its output kept, so the totals of all stages can be printed at the end.
run_ctest() {
  ctest "$@" 2>&1 | tee -a "$log"
  return "${PIPESTATUS[0]}"
}

echo "== Windows cross build (x86_64-w64-mingw32, -Werror) and its tests under wine"
stage_start=$SECONDS
scripts/build.sh mingw
mkdir -p "$WINEPREFIX"
# One virtual display for the whole stage: wine's desktop takes its size from the display it first
# meets, and the editor window tests need room for a window scaled by 1.25.
Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp 3>"$log.display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$log.display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$log.display")"
# (Refused when a server of this prefix is already up, which is as good.)
wineserver -p 2>/dev/null || true
# Start wine's own background processes (services, device drivers, desktop) here, away from ctest:
# started by the first test instead, they would hold that test's output pipe open and ctest would
# wait on it. A new prefix is set up first.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wine wineboot -i >/dev/null 2>&1
else
  wine wineboot >/dev/null 2>&1
fi
run_ctest --preset mingw -j "$jobs"
# The server, wine's desktop and the display stay up for the release stage, which runs the Windows
# render tool again for the comparison; the exit trap ends them.
echo "Windows stage: $((SECONDS - stage_start)) s"

echo "== release build (-Werror) and tests, renders compared with the Windows build's"
stage_start=$SECONDS
scripts/build.sh release -DRINGSTILL_WINDOWS_BUILD_DIR="$PWD/build/mingw"
run_ctest --preset release -j "$jobs"
echo "Release stage: $((SECONDS - stage_start)) s"

echo "== ASan + UBSan build and tests"
scripts/build.sh asan
run_ctest --preset asan -j "$jobs"


echo "== ThreadSanitizer build, thread-exchange tests"
scripts/build.sh tsan
run_ctest --preset tsan -j "$jobs"

total=$(grep -Eo 'tests failed out of [0-9]+' "$log" | awk '{s += $NF} END {print s + 0}')
echo "All test stages passed."
echo "${total} passed, 0 failed"
