#!/usr/bin/env bash
# Installs the built Ringstill.vst3 bundle where Linux VST 3 hosts look for a user's plug-ins.
# Usage: scripts/install-plugin.sh [BUILD_DIR]   (default build/release; target folder
# ~/.vst3, or $VST3_INSTALL_DIR when set)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/release}"
bundle="$build/vst3/Ringstill.vst3"
dest="${VST3_INSTALL_DIR:-$HOME/.vst3}"
if [ ! -f "$bundle/Contents/x86_64-linux/Ringstill.so" ]; then
  echo "install-plugin: error: no built bundle at $bundle (build first)" >&2
  exit 1
fi
mkdir -p "$dest"
# Copied beside the old bundle first, then swapped in, so a host never sees half a bundle.
tmp="$(mktemp -d "$dest/.Ringstill.vst3.XXXXXX")"
cp -R "$bundle" "$tmp/"
rm -rf "$dest/Ringstill.vst3"
mv "$tmp/Ringstill.vst3" "$dest/Ringstill.vst3"
rmdir "$tmp"
echo "Installed $dest/Ringstill.vst3"
