#!/bin/sh
# guest-test.sh PROBE WORKDIR
# Boots this machine's Debian kernel under qemu (software emulation) with a small initramfs:
# busybox, PROBE and the libraries it needs. Inside, as root, PROBE opens port access through
# this machine's port driver from no service at all, reads the controller's status port,
# writes two bytes to its data port and closes access. Then the guest's printout and qemu's
# trace of the emulated keyboard controller are checked. Exit 77 when qemu, a kernel or
# busybox is missing.
set -eu
probe=$1
work=$2
. "$(dirname "$0")/../support/qemu-guest.sh"
guest_require
guest_begin "$work"
guest_add_program "$probe" portio_probe
guest_boot '
windows=/var/lib/quillboard/windows
mkdir -p $windows/SYSTEM32/DRIVERS
echo "driver linux-port" > $windows/SYSTEM32/DRIVERS/PORTACC.SYS
echo "guest: probe starts"
/bin/portio_probe open in 0x64 hard 0 in 0x64 hard 1 out 0x60 0xe4 out 0x60 0x05 close
echo "guest: probe exit $?"
echo "guest: services [$(cat $windows/SERVICES.INI 2>/dev/null | tr "\n" " ")]"
' quillboard.testguest=1 -parallel null -parallel null -trace 'pckbd_kbd_write_*' -D "$work/trace.log"
grep -E '^(guest:|open|in|hard|out|close)' "$work/console.txt" | tee "$work/results.txt"

fail() { echo "FAILED: $*"; exit 1; }
grep -qx 'guest: probe exit 0' "$work/results.txt" || fail "the probe did not end well"
# From no service at all: installed and started by this OpenAccess; two parallel ports mapped.
grep -qx 'open 1 active 1 lptcount 2 lptnumber 1 wasrunning 0 wasinstalled 0' "$work/results.txt" ||
  fail "OpenAccess did not install, start and open, or the table of two parallel ports was not mapped"
# The status port through the driver and through the instruction; never 0xff from a live controller.
[ "$(grep -c '^in 0x64 0x' "$work/results.txt")" = 2 ] || fail "two status reads expected"
grep -q '^in 0x64 0xff' "$work/results.txt" && fail "a status read gave 0xff"
grep -qx 'out 0x60 0xe4' "$work/results.txt" && grep -qx 'out 0x60 0x05' "$work/results.txt" || fail "writes missing"
grep -qx 'close active 0' "$work/results.txt" || fail "CloseAccess"
grep -q 'guest: services \[.*PORTACC' "$work/results.txt" && fail "the service was not removed"
# Both bytes reached the emulated controller, in order.
grep -o 'pckbd_kbd_write_data.*' "$work/trace.log" > "$work/writes.txt" || true
grep -A1 'value=0xe4\|0xe4$' "$work/writes.txt" | grep -q '0x05\|0x5$' || { cat "$work/writes.txt"; fail "0xe4 then 0x05 not seen by the controller"; }
echo "guest test passed"
