#!/usr/bin/env bash
# Pictures of every window of Keysmith591, Keyburn591 and QuillboardLED as a person sees them:
# on an X server (Xvfb) with a window manager (openbox) and a notification area (trayer),
# started and clicked like a user would.
#   scripts/screenshots.sh [build dir] [output dir]
# Writes main-window.png, properties.png, about.png, save-changes.png, error.png,
# startup-question.png, properties-over-question.png, message-over-question.png, loader.png,
# loader-after-dialog.png, tray-help.png and tray-menu-over-box.png into the output dir (default:
# build/screenshots), then the editor's main window, Keypad Properties, About, the save-changes
# question and an error box, the loader and the tray utility's help box on the same desktop scaled
# by 125, 150 and 200 % (main-window-1.25.png, ..., tray-help-2.png; SCALES="1.5 2" chooses others).
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
out=${2:-$build/screenshots}
mkdir -p "$out"
out=$(cd "$out" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
example="$source_dir/examples/my keypad.ckd"
grab="$build/tests/helpers/screen_grab"
[ -x "$grab" ] || cmake --build "$build" --target screen_grab >/dev/null

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A free display number, an X server of the given size, and the window manager on it.
desktop() {
  display=90
  while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
  Xvfb ":$display" -screen 0 "$1x24" -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  export DISPLAY=":$display"
  for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  openbox >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
}
desktop 1024x768
export QT_QPA_PLATFORM=xcb
unset QT_QPA_PLATFORMTHEME

# One program folder of our own, so the settings file is ours to put and take away.
cmake --install "$build" --prefix "$work/install" >/dev/null
bin="$work/install/bin"
settings="$bin/Keysmith591.ini"

# Waits for a visible window whose title matches, prints its id.
window() { timeout 15 xdotool search --sync --onlyvisible --name "$1" | head -1; }
shot() { sleep 0.7; "$grab" "$out/$1"; echo "$out/$1"; }
editor() {
  "$bin/Keysmith591" "$@" >/dev/null 2>&1 &
  editor_pid=$!
  pids+=($editor_pid)
}
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
# A length in window pixels as screen pixels on the desktop scaled by $scale.
scale=1
at() { awk -v v="$1" -v s="$scale" 'BEGIN { printf "%d", v * s + 0.5 }'; }

# The editor's main window with the example definition, Keypad Properties and About, each
# shot named with the given suffix. Toolbar buttons are 59 wide from the left edge, with
# 12-wide separators: Properties at 248, Help at 437, Exit at 567.
editor_windows() {
  main=$(window "^Keysmith591 - my keypad.ckd")
  shot "main-window$1.png"
  click "$main" "$(at 277)" "$(at 18)"
  window "^Keypad Properties$" >/dev/null
  shot "properties$1.png"
  xdotool key Escape
  sleep 0.3
  click "$main" "$(at 466)" "$(at 18)"
  sleep 0.5
  xdotool key a
  window "^About$" >/dev/null
  shot "about$1.png"
  xdotool key Return
}

# The save-changes question: a key typed into the macro, then Exit.
save_changes() {
  sleep 0.3
  xdotool windowactivate --sync "$main" 2>/dev/null || true
  xdotool key --window "$main" q
  sleep 0.3
  click "$main" "$(at 596)" "$(at 18)"
  window "^Confirm$" >/dev/null
  shot "save-changes$1.png"
  kill "$editor_pid"
}

# An error box: a file of another model opened (the settings file present, so no question).
other="$work/other model.ckd"
printf '[GLOBAL_PARAMETERS]\nModel_Number=Keysmith590\n' >"$other"
error_box() {
  editor "$other"
  window "^Error$" >/dev/null
  shot "error$1.png"
  kill "$editor_pid"
  wait "$editor_pid" 2>/dev/null || true
}

# The loader during a download to the virtual keypad, paced so that it lasts a few seconds.
paced="$work/paced keypad.ckd"
sed 's/^Download_Delay=.*/Download_Delay=20/' "$example" >"$paced"
echo "16c0 0607" >"$work/devices"
loader_window() {
  QUILL_VIRTUAL_HID_DEVICES="$work/devices" QUILL_VIRTUAL_HID_LOG="$work/reports.log" \
    LD_LIBRARY_PATH="$build/virtualhid" "$bin/Keyburn591" "$paced" >/dev/null 2>&1 &
  loader_pid=$!
  pids+=($loader_pid)
  window "^Keyburn - USB/PS2 Keypad Programmer$" >/dev/null
  sleep 1.5
  shot "loader$1.png"
  wait "$loader_pid" || true
}

# The tray utility in a notification area of its own, its help box opened from its icon's menu.
echo "04b4 0a0a" >"$work/tray-devices"
menu_on_icon() { xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3; sleep 0.5; }
tray_help() {
  trayer --edge top --align left --widthtype request --height "$(at 24)" --SetDockType true >/dev/null 2>&1 &
  pids+=($!)
  QUILL_VIRTUAL_HID_DEVICES="$work/tray-devices" LD_LIBRARY_PATH="$build/virtualhid" "$bin/QuillboardLED" >/dev/null 2>&1 &
  tray_pid=$!
  pids+=($tray_pid)
  icon=$(timeout 15 xdotool search --sync --onlyvisible --pid "$tray_pid" | head -1)
  eval "$(xdotool getwindowgeometry --shell "$icon")"
  menu_on_icon
  xdotool key Down Return
  window "^QuillboardLED Demo v5.10 - Help$" >/dev/null
  shot "tray-help$1.png"
}

# The main window with a definition, then its dialogs.
touch "$settings"
editor "$example"
editor_windows ""
save_changes ""
error_box ""

# The start-up question while the settings file is missing, and a message box of the
# command-line file's load over it.
rm -f "$settings"
editor
main=$(window "^Keysmith591 - untitled.ckd")
shot startup-question.png
click "$main" 277 18
window "^Keypad Properties$" >/dev/null
shot properties-over-question.png
xdotool key Escape
sleep 0.3
kill "$editor_pid"
wait "$editor_pid" 2>/dev/null || true
sleep 0.3
editor "$other"
window "^Error$" >/dev/null
shot message-over-question.png
kill "$editor_pid"

loader_window ""

# The loader started without a file: the file chosen in its open dialog, then the window
# during the download, whole where the dialog stood.
cp "$paced" "$bin/Macro Files/paced keypad.ckd"
QUILL_VIRTUAL_HID_DEVICES="$work/devices" QUILL_VIRTUAL_HID_LOG="$work/reports.log" \
  LD_LIBRARY_PATH="$build/virtualhid" "$bin/Keyburn591" >/dev/null 2>&1 &
loader_pid=$!
pids+=($loader_pid)
window "^Keyburn - Choose Keypad File$" >/dev/null
sleep 0.5
xdotool type "paced keypad.ckd"
xdotool key Return
sleep 1.5
shot loader-after-dialog.png
wait "$loader_pid" || true

# The tray utility's help box, then its menu opened on its icon while the box is up.
tray_help ""
sleep 0.5
menu_on_icon
xdotool key Down Down
shot tray-menu-over-box.png
xdotool key Escape
kill "$tray_pid"

# The windows on the same desktop scaled (a laptop or a 4K screen set to 125 to 200 %): Qt
# scales every window by QT_SCALE_FACTOR, so the screen has that many more pixels and a click
# lands at the scaled place.
touch "$settings"
for scale in ${SCALES:-1.25 1.5 2}; do
  desktop "$(at 1024)x$(at 768)"
  export QT_SCALE_FACTOR=$scale
  editor "$example"
  editor_windows "-$scale"
  save_changes "-$scale"
  error_box "-$scale"
  loader_window "-$scale"
  tray_help "-$scale"
  kill "$tray_pid"
  unset QT_SCALE_FACTOR
done
