#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the run command need.
# Safe to run again: packages already present are left alone and apt is not
# touched at all when nothing is missing.
set -euo pipefail

packages=(
  # native build and unit tests; clang and its runtime for the fuzz targets
  cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  # the Windows program, cross-compiled
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  # running it: 64-bit Wine on a virtual display, driven from scripts
  wine wine64 xvfb xdotool xclip x11-utils imagemagick
  # a Chinese locale (code page 936) and fonts for Chinese text
  locales fonts-wqy-microhei fonts-wine
  # the default clip bank (espeak-ng speaks, numpy shapes the clips) and
  # real sound capture
  espeak-ng pulseaudio pulseaudio-utils
  # the bank maker, the Wine driver and the end-to-end and sound tests
  # (Debian's python3 with numpy and pytest)
  python3-numpy python3-pytest
  # the pinyin table generator (npm comes with nodejs on machines whose
  # nodejs bundles it; Debian's own nodejs needs the separate npm package)
  nodejs python3
  # packaging
  zip
  # the clip-bank checker's tests parse its JSON report
  nlohmann-json3-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ! command -v npm >/dev/null 2>&1; then
  missing+=(npm)
fi

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-packages: everything is installed"
  exit 0
fi

echo "install-packages: installing ${missing[*]}"
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
