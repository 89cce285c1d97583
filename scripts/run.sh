#!/usr/bin/env bash
# Installs the build into one program folder and starts the editor from there, with the
# virtual keypad (one keypad 16C0:0607) in place of the system's HID library, so Download
# works without hardware. What the keypad received is in $prefix/virtual-keypad/reports.log.
#   scripts/run.sh [build dir] [definition file]
set -euo pipefail
build=${1:-build}
shift || true
prefix=${QUILL_RUN_PREFIX:-$build/install}
cmake --install "$build" --prefix "$prefix" >/dev/null
prefix=$(cd "$prefix" && pwd)
keypad="$prefix/virtual-keypad"
mkdir -p "$keypad"
[ -f "$keypad/devices" ] || echo "16c0 0607" > "$keypad/devices"
echo "Program folder: $prefix/bin; keypad log: $keypad/reports.log"
export QUILL_VIRTUAL_HID_DEVICES="$keypad/devices"
export QUILL_VIRTUAL_HID_LOG="$keypad/reports.log"
export LD_LIBRARY_PATH="$(cd "$build/virtualhid" && pwd)${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
exec "$prefix/bin/Keysmith591" "$@"
