#!/usr/bin/env bash
# Runs one Windows test executable under wine (the cross build's test launcher).
# Every test prints before it does anything else, so a run that fails having printed nothing is wine
# failing to start the process (seen once, on the first test of a fresh prefix): that start is tried
# again, once. A test that ran and failed is never repeated.
set -u
out=$(mktemp)
trap 'rm -f "$out"' EXIT
wine "$@" >"$out" 2>&1
rc=$?
if [ "$rc" -ne 0 ] && [ ! -s "$out" ]; then
  echo "wine-run: wine exited with $rc before the test printed anything; starting it again" >&2
  sleep 1
  wine "$@" >"$out" 2>&1
  rc=$?
fi
cat "$out"
exit "$rc"
