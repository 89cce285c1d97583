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
  case $name in
    fuzz_code_string) kind=code_string ;;
    fuzz_command_line) kind=command_line ;;
    fuzz_version_block) kind=version_block ;;
    fuzz_service_database) kind=service_database ;;
    fuzz_driver_file) kind=driver_file ;;
    *) kind=definition ;;
  esac
  corpus="$build/fuzz/corpus-$name"; mkdir -p "$corpus"
  echo "fuzzing $name for ${seconds}s"
  "$t" -max_total_time="$seconds" -max_len=65536 -print_final_stats=0 -dict="$seeds/$kind.dict" \
    -artifact_prefix="$build/fuzz/" \
    "$corpus" "$seeds/corpus/${kind}s" 2>&1 | grep -E "DONE|ERROR|SUMMARY|Test unit" | tail -n 3
done
