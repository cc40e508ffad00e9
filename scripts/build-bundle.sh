#!/usr/bin/env bash
# Builds the plug-in for Linux and for Windows and puts both into one Ringstill.vst3 folder:
#   Ringstill.vst3/Contents/x86_64-linux/Ringstill.so
#   Ringstill.vst3/Contents/x86_64-win/Ringstill.vst3
#   Ringstill.vst3/Contents/Resources/moduleinfo.json   (written by loading the Linux module, which
#                                                        describes the class both binaries hold)
# Usage: scripts/build-bundle.sh [OUTPUT_DIR]   (default build/bundle)
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-build/bundle}"
scripts/install-deps.sh

jobs=$(nproc)
options=(-DCMAKE_BUILD_TYPE=Release -DRINGSTILL_TESTS=OFF -DRINGSTILL_BENCH=OFF)
cmake -S . -B build/bundle-linux -G Ninja "${options[@]}" >/dev/null
cmake --build build/bundle-linux -j "$jobs" --target ringstill_vst3_bundle ringstill_moduleinfo
cmake -S . -B build/bundle-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake "${options[@]}" >/dev/null
cmake --build build/bundle-windows -j "$jobs" --target ringstill_vst3_bundle

linux=build/bundle-linux/vst3/Ringstill.vst3/Contents
windows=build/bundle-windows/vst3/Ringstill.vst3/Contents
bundle="$out/Ringstill.vst3"
rm -rf "$bundle"
mkdir -p "$bundle/Contents/x86_64-linux" "$bundle/Contents/x86_64-win" "$bundle/Contents/Resources"
cp "$linux/x86_64-linux/Ringstill.so" "$bundle/Contents/x86_64-linux/"
cp "$windows/x86_64-win/Ringstill.vst3" "$bundle/Contents/x86_64-win/"
# Both builds write the same resources; a file only one of them has is kept as well.
cp -R "$windows/Resources/." "$bundle/Contents/Resources/"
cp -R "$linux/Resources/." "$bundle/Contents/Resources/"
if [ ! -s "$bundle/Contents/Resources/moduleinfo.json" ]; then
  echo "build-bundle: moduleinfo.json was not written" >&2
  exit 1
fi
echo "Built $bundle:"
(cd "$out" && find Ringstill.vst3 -type f | sort)
