#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a while each; a crash fails the run.
set -euo pipefail
build=$1; seconds=${2:-60}
shopt -s nullglob
targets=("$build"/fuzz/fuzz_*)
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets built"; exit 1; }
for t in "${targets[@]}"; do
  corpus="$build/fuzz/corpus-$(basename "$t")"; mkdir -p "$corpus"
  echo "fuzzing $(basename "$t") for ${seconds}s"
  "$t" -max_total_time="$seconds" -max_len=65536 -print_final_stats=0 "$corpus" 2>&1 | tail -n 3
done
