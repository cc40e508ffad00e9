#!/usr/bin/env bash
# Installs everything Ringstill needs to build and test on a fresh Debian machine.
# Safe to run again: apt is only called when a package is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  libfftw3-dev # the benchmarks' reference transform only; never linked into the plug-in
  libcairo2-dev libfreetype-dev libx11-dev libsndfile1-dev
  fonts-roboto-hinted wabt juce-modules-source-data
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  xvfb xauth wine wine64
  ardour # a real VST 3 host for the integration test; runs headless on its dummy backend
  espeak-ng fluidsynth fluid-soundfont-gm # the closed-loop bench's speech and music programmes
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
# npm often comes bundled with a Node.js from elsewhere; only ask Debian for it when absent.
command -v npm >/dev/null 2>&1 || missing+=(nodejs npm)
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  # Through env: sudo would drop the variable.
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The denoiser's WebAssembly build, pinned in package-lock.json.
if [ ! -f node_modules/@jitsi/rnnoise-wasm/dist/rnnoise.wasm ]; then
  npm ci --ignore-scripts --no-audit --no-fund >/dev/null
fi
