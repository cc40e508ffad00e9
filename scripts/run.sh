#!/usr/bin/env bash
# The main job: builds Ringstill and runs the built-in feedback demo.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build/release -DCMAKE_BUILD_TYPE=Release
build/release/tools/ringstill-demo/ringstill-demo
