#!/usr/bin/env bash
# Prints the benchmark figures from a build without sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DSYLSPEAK_SANITIZE=OFF >/dev/null
cmake --build build/bench -j"$(nproc)" --target speak_bench
build/bench/bench/speak_bench "$@"
