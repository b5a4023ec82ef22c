#!/usr/bin/env bash
# Runs the fuzz targets for as long as asked, each in turn, building them
# first (clang and libFuzzer, through the native build).
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#
# SECONDS is per target (default 300); TARGET is wav_check_fuzz,
# text_to_int_fuzz or speak_run_fuzz (default: all three). Each keeps its
# growing corpus in build/native/fuzz/corpus/<target> and starts from the
# regression inputs in tests/fuzz/regressions/<target> (and the default clip
# bank for the WAV checker). An input that makes a target fail is written to
# tests/fuzz/regressions/<target>/, where it becomes a regression input that
# the test command runs every time: commit it with the fix.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-300}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(wav_check_fuzz text_to_int_fuzz speak_run_fuzz)

cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native --target fuzz_targets -j"$(nproc)"

status=0
for target in "${targets[@]}"; do
  corpus=build/native/fuzz/corpus/$target
  regressions=tests/fuzz/regressions/$target
  seeds=()
  [ "$target" = wav_check_fuzz ] && [ -d build/native/sylbank ] && seeds=(build/native/sylbank)
  mkdir -p "$corpus" "$regressions"
  echo "fuzz: $target for $seconds s"
  if ! build/native/fuzz/"$target" -max_total_time="$seconds" -timeout=20 \
      -artifact_prefix="$regressions/" "$corpus" "$regressions" "${seeds[@]}"; then
    echo "fuzz: $target failed; the input is in $regressions/" >&2
    status=1
  fi
done
exit "$status"
