#!/usr/bin/env bash
# Starts the editor from the program folder of the build; until the editor exists, says so.
set -euo pipefail
build=${1:-build}
if [ -x "$build/bin/Keysmith591" ]; then
  exec "$build/bin/Keysmith591"
fi
echo "Everything is built in $build; the editor is not part of the build yet."
