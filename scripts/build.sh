#!/usr/bin/env bash
# Builds the three flavours of the project into build/:
#   build/win32   the shipped 32-bit Windows program (i686)
#   build/win64   the same program as a 64-bit exe, which runs here under wine64
#   build/native  the Linux build: unit tests (ASan, UBSan), tools, and the
#                 end-to-end tests that drive build/win64 under Wine
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

configure() {  # DIR [cmake options...]
  local dir=$1
  shift
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    echo "build: configuring $dir"
  fi
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
}

for arch in i686 x86_64; do
  dir=build/win32
  [ "$arch" = x86_64 ] && dir=build/win64
  configure "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch-w64-mingw32.cmake"
  echo "build: $dir"
  cmake --build "$dir" -j"$jobs"
done

configure build/native -DSYLSPEAK_WIN64_DIR="$root/build/win64"
echo "build: build/native"
cmake --build build/native -j"$jobs"
