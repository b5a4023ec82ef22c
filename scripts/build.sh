#!/usr/bin/env bash
# Builds the three flavours of the project into build/:
#   build/native  the Linux build: unit tests (ASan, UBSan), tools, the default
#                 clip bank (build/native/sylbank), and the end-to-end tests
#                 that drive build/win64 under Wine
#   build/win64   the program as a 64-bit exe, which runs here under wine64
#   build/win32   the shipped 32-bit Windows program (i686) and its ZIP package
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

configure() {  # DIR [cmake options...]
  local dir=$1
  shift
  [ -f "$dir/CMakeCache.txt" ] || echo "build: configuring $dir"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
}

configure build/native -DSYLSPEAK_WIN64_DIR="$root/build/win64" -DSYLSPEAK_WIN32_DIR="$root/build/win32"
echo "build: build/native (tests, tools and the clip bank)"
cmake --build build/native -j"$jobs"

toolchain() { echo "$root/cmake/toolchain-$1-w64-mingw32.cmake"; }

configure build/win64 -DCMAKE_TOOLCHAIN_FILE="$(toolchain x86_64)"
echo "build: build/win64"
cmake --build build/win64 -j"$jobs"

configure build/win32 -DCMAKE_TOOLCHAIN_FILE="$(toolchain i686)" \
  -DSYLSPEAK_BANK_DIR="$root/build/native/sylbank"
echo "build: build/win32 and its package"
cmake --build build/win32 -j"$jobs"
cmake --build build/win32 --target sylspeak-zip
