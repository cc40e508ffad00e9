#!/usr/bin/env bash
# The main job: builds Ringstill, installs the plug-in into ~/.vst3, and renders the built-in
# feedback demo through the installed plug-in (loaded as a host loads it, through its module).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh release
scripts/install-plugin.sh build/release
build/release/tools/ringstill-render/ringstill-render --plugin "$HOME/.vst3/Ringstill.vst3" --demo \
  --snapshot build/demo-editor.png
