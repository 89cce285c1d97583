#!/usr/bin/env bash
# Start-up time of the editor: from process start to the main window shown, headless, with
# the start-up question (no settings file). Runs the probe build of the program block
# (tests/helpers/keysmith_startup_probe) N times and prints each figure and the median in ms.
#   scripts/startup-time.sh [build dir] [runs]
set -euo pipefail
build=${1:-build}
runs=${2:-11}
cmake --build "$build" --target keysmith_startup_probe >/dev/null
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$build/tests/helpers/keysmith_startup_probe" "$dir/Keysmith591"
times=()
for _ in $(seq "$runs"); do
  t0=$(date +%s%N)
  shown=$(QT_QPA_PLATFORM=offscreen "$dir/Keysmith591" 2>/dev/null | cut -d' ' -f1)
  times+=($(( (shown - t0) / 1000000 )))
done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
echo "runs (ms): ${times[*]}"
echo "median: ${sorted[$(( runs / 2 ))]} ms"
