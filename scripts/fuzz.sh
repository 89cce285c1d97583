#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a while each; a crash fails the run. Each
# target starts from the seed corpus and dictionary of its input kind in fuzz/; what it finds
# is kept in <build>/fuzz/corpus-<target>.
set -euo pipefail
build=$1; seconds=${2:-60}
seeds="$(cd "$(dirname "$0")/.." && pwd)/fuzz"
shopt -s nullglob
targets=("$build"/fuzz/fuzz_*)
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets built"; exit 1; }
for t in "${targets[@]}"; do
  name=$(basename "$t")
  # A target's input kind is its name, where fuzz/ has seeds of that name; the INI layer,
  # the load and the download stream all read definition files.
  kind=${name#fuzz_}
  [ -f "$seeds/$kind.dict" ] || kind=definition
  corpus="$build/fuzz/corpus-$name"; mkdir -p "$corpus"
  echo "fuzzing $name for ${seconds}s"
  "$t" -max_total_time="$seconds" -max_len=65536 -print_final_stats=0 -dict="$seeds/$kind.dict" \
    -artifact_prefix="$build/fuzz/" \
    "$corpus" "$seeds/corpus/${kind}s" 2>&1 | grep -E "DONE|ERROR|SUMMARY|Test unit" | tail -n 3
done
