#!/usr/bin/env bash
# Configures and builds one of the configurations of CMakePresets.json in build/<preset>.
# Usage: scripts/build.sh PRESET [cmake options...]     (PRESET: release, mingw, asan or tsan)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="$1"; shift
cmake --preset "$preset" "$@" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
