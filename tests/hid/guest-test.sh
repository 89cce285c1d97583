#!/bin/sh
# guest-test.sh KEYBURN UHID_KEYPAD LABEL_TRACE OFFSCREEN_PLUGIN DEFINITION CHECK WORK [TRAY_PROBE]
# The real HID path without hardware: this machine's kernel under qemu with its uhid, hid and
# hid-generic modules, keypads made through /dev/uhid by UHID_KEYPAD, and the real KEYBURN
# (Qt's offscreen platform, the system's libhidapi-hidraw.so.0) downloading DEFINITION to them;
# with TRAY_PROBE, the tray's command transport too. Each scenario gets keypads of its own;
# their logs, the program's label texts and exit status come back on the console, and CHECK
# compares them on the host. Exit 77 when qemu, busybox, a kernel or its modules are missing.
set -eu
keyburn=$1 keypad=$2 trace=$3 offscreen=$4 definition=$5 check=$6 work=$7 tray=${8:-}
. "$(dirname "$0")/../support/qemu-guest.sh"
guest_require uhid hid-generic
hidapi=$(/sbin/ldconfig -p | awk '$1 == "libhidapi-hidraw.so.0" && /x86-64/ { print $NF; exit }')
[ -n "$hidapi" ] || guest_skip "no libhidapi-hidraw.so.0"

guest_begin "$work"
guest_add_modules uhid hid-generic
guest_add_program "$keyburn" Keyburn591
guest_add_program "$keypad" uhid_keypad
guest_add_library "$hidapi"
guest_add_library "$offscreen"
guest_add_file "$trace" /lib/quill/liblabel_trace.so
guest_add_file "$definition" "/tmp/guest keypad.ckd"
if [ -n "$tray" ]; then guest_add_program "$tray" tray_command_probe; fi

guest_boot '
r=/tmp/results
mkdir -p $r; mkdir -m 700 /tmp/xdg
export QT_QPA_PLATFORM=offscreen HOME=/tmp XDG_RUNTIME_DIR=/tmp/xdg ASAN_OPTIONS=verify_asan_link_order=0
hidraw_count() { ls /sys/class/hidraw 2>/dev/null | wc -l; }
# keypads NAME DEVICE...: keypads logging to $r/NAME.log, up once their hidraw nodes are.
keypads() {
  log=$r/$1.log; shift
  /bin/uhid_keypad $log "$@" & keypads_pid=$!
  n=0; while [ "$(hidraw_count)" -lt $# ] && [ $n -lt 100 ]; do sleep 0.1; n=$((n + 1)); done
  [ "$(hidraw_count)" -eq $# ] || echo "guest: $(hidraw_count) hidraw nodes for $# keypads"
}
keypads_gone() {
  kill $keypads_pid; wait $keypads_pid
  n=0; while [ "$(hidraw_count)" -gt 0 ] && [ $n -lt 100 ]; do sleep 0.1; n=$((n + 1)); done
}
uptime_s() { cut -d" " -f1 /proc/uptime; }
# keyburn NAME: the loader on the definition, its path given unquoted (split at its blank).
keyburn() {
  t0=$(uptime_s)
  LD_PRELOAD=/lib/quill/liblabel_trace.so /bin/Keyburn591 /tmp/guest keypad.ckd 2>>$r/$1.out
  status=$?
  echo "exit $status seconds $(awk "BEGIN { print $(uptime_s) - $t0 }")" >>$r/$1.out
}
tray() {
  /bin/tray_command_probe 05 >>$r/$1.out 2>&1
  echo "exit $?" >>$r/$1.out
}
echo "guest: up $(uptime_s) s"
keypads download "16c0 0607" "04b4 0a0a"; keyburn download; keypads_gone
keypads refused "16c0 0607 feature-fails=3"; keyburn refused; keypads_gone
keyburn nokeypad
# Two loaders half a second apart, as a double click on Download starts them.
keypads twice "16c0 0607"; keyburn twice-1 & first=$!; sleep 0.5; keyburn twice-2; wait $first; keypads_gone
if [ -x /bin/tray_command_probe ]; then
  keypads tray-output "16c0 0607" "04b4 0a0a"; tray tray-output; keypads_gone
  keypads tray-feature "16c0 0607"; tray tray-feature; keypads_gone
  # The tray command, sent once a download has begun.
  keypads beside "16c0 0607"; keyburn beside-loader & first=$!
  n=0; while ! grep -q " feature " $r/beside.log 2>/dev/null && [ $n -lt 400 ]; do sleep 0.05; n=$((n + 1)); done
  tray beside-tray; wait $first; keypads_gone
fi
for f in $r/*; do sed "s|^|@$(basename $f) |" $f; done
echo "guest: done $(uptime_s) s"
'
grep '^guest:' "$work/console.txt" || true
mkdir -p "$work/results"
awk '/^@[^ ]+ / { f = substr($1, 2); sub(/^@[^ ]+ /, ""); print > (dir "/" f) }' dir="$work/results" "$work/console.txt"
grep -q '^guest: done' "$work/console.txt" || { tail -n 30 "$work/console.txt"; echo "FAILED: the guest did not finish"; exit 1; }
QUILL_GUEST_RESULTS=$work/results QUILL_GUEST_DEFINITION=$definition "$check"
