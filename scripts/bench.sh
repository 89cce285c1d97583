#!/usr/bin/env bash
# Runs every benchmark of a build.
set -euo pipefail
build=${1:-build}
shopt -s nullglob
for b in "$build"/bench/bench_*; do
  echo "== $(basename "$b")"; "$b"
done
