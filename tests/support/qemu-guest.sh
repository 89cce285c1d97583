# qemu-guest.sh: sourced by the tests that run our programs on a real kernel. This machine's
# Debian kernel boots under qemu (software emulation: nested KVM hangs here) with a small
# initramfs: busybox, the programs and the shared libraries they need, kernel modules as
# asked. The guest runs a test's init steps as root and powers off; its console is kept.
#
#   guest_require [MODULE...]   exit 77 unless qemu, busybox, a kernel image and those modules
#   guest_begin WORK            a fresh guest root in WORK/root (WORK is emptied)
#   guest_add_program FILE [NAME]  FILE as /bin/NAME, with its shared libraries
#   guest_add_library FILE      FILE at its own path, with its shared libraries (for dlopen)
#   guest_add_file FILE DEST    FILE at DEST
#   guest_boot INIT [APPEND] [QEMU ARGUMENT...]
#                               INIT (shell text) runs after the modules are loaded; prints the
#                               image size and the run time; the console is WORK/console.log
# A test's own files stay inside WORK; nothing else on the host is written.
guest_kernel=$(ls /boot/vmlinuz-* 2>/dev/null | sort -V | tail -n 1)
guest_release=${guest_kernel#/boot/vmlinuz-}
guest_modules_dir=/lib/modules/$guest_release
guest_qemu=$(command -v qemu-system-x86_64 || true)
guest_busybox=$(command -v busybox || true)
guest_modules=""

guest_skip() {
  echo "skipped: $*"
  exit 77
}

# The modules named, each after the ones it depends on (modules.dep lists them all, the
# last one to be loaded first), as paths below the modules folder.
guest_module_paths() {
  for name in "$@"; do
    awk -F': *' -v n="$name" '{ f = $1; sub(/.*\//, "", f); sub(/\.ko(\.[a-z]+)?$/, "", f); gsub(/-/, "_", f)
        m = n; gsub(/-/, "_", m)
        if (f == m) { k = split($2, deps, " "); for (i = k; i >= 1; i--) print deps[i]; print $1; found = 1; exit } }
      END { exit !found }' "$guest_modules_dir/modules.dep" || return 1
  done
}

guest_require() {
  if [ -z "$guest_qemu" ] || [ -z "$guest_busybox" ] || [ -z "$guest_kernel" ] || [ ! -r "$guest_kernel" ]; then
    guest_skip "needs qemu-system-x86_64, busybox and a readable /boot/vmlinuz-*"
  fi
  [ $# -eq 0 ] && return 0
  [ -r "$guest_modules_dir/modules.dep" ] || guest_skip "no modules for $guest_release"
  guest_module_paths "$@" >/dev/null || guest_skip "the kernel $guest_release lacks one of: $*"
}

guest_begin() {
  guest_work=$1
  guest_root=$guest_work/root
  rm -rf "$guest_work"
  mkdir -p "$guest_root/bin" "$guest_root/dev" "$guest_root/proc" "$guest_root/sys" "$guest_root/tmp"
  cp "$guest_busybox" "$guest_root/bin/busybox"
  guest_modules=""
}

# The shared libraries FILE needs, at the paths the dynamic loader looks for them.
guest_add_libraries_of() {
  for lib in $(ldd "$1" 2>/dev/null | awk '$2 == "=>" && $3 ~ /^\// { print $3 } $1 ~ /^\// { print $1 }'); do
    [ -e "$guest_root$lib" ] && continue
    mkdir -p "$guest_root$(dirname "$lib")"
    cp -L "$lib" "$guest_root$lib"
  done
}

guest_add_program() {
  cp "$1" "$guest_root/bin/${2:-$(basename "$1")}"
  guest_add_libraries_of "$1"
}

guest_add_library() {
  guest_add_file "$1" "$1"
  guest_add_libraries_of "$1"
}

guest_add_file() {
  mkdir -p "$guest_root$(dirname "$2")"
  cp -L "$1" "$guest_root$2"
}

# Uncompressed, since busybox's insmod reads plain modules only.
guest_add_modules() {
  for path in $(guest_module_paths "$@"); do
    name=$(basename "${path%%.ko*}").ko
    case " $guest_modules " in *" /lib/modules/$name "*) continue ;; esac
    mkdir -p "$guest_root/lib/modules"
    case "$path" in
      *.ko.xz) xz -dc "$guest_modules_dir/$path" > "$guest_root/lib/modules/$name" ;;
      *.ko.zst) zstd -qdc "$guest_modules_dir/$path" > "$guest_root/lib/modules/$name" ;;
      *.ko.gz) gzip -dc "$guest_modules_dir/$path" > "$guest_root/lib/modules/$name" ;;
      *) cp "$guest_modules_dir/$path" "$guest_root/lib/modules/$name" ;;
    esac
    guest_modules="$guest_modules /lib/modules/$name"
  done
}

guest_boot() {
  init_steps=$1
  append=${2:-}
  [ $# -ge 2 ] && shift 2 || shift $#
  {
    echo '#!/bin/busybox sh'
    echo '/bin/busybox --install -s /bin'
    echo 'mount -t proc proc /proc'
    echo 'mount -t sysfs sysfs /sys'
    echo 'mount -t devtmpfs devtmpfs /dev'
    for module in $guest_modules; do
      echo "insmod $module || echo \"guest: insmod $module failed\""
    done
    printf '%s\n' "$init_steps"
    echo 'poweroff -f'
  } > "$guest_root/init"
  chmod +x "$guest_root/init"
  (cd "$guest_root" && find . | "$guest_busybox" cpio -o -H newc 2>/dev/null | gzip -1 > "$guest_work/initrd.gz")
  echo "guest image: $(du -sk "$guest_root" | cut -f1) KiB unpacked, $(($(wc -c < "$guest_work/initrd.gz") / 1024)) KiB packed"
  start=$(date +%s.%N)
  timeout 300 "$guest_qemu" -accel tcg -m 512 -kernel "$guest_kernel" -initrd "$guest_work/initrd.gz" \
    -append "console=ttyS0 quiet panic=-1 rdinit=/init $append" \
    -display none -serial "file:$guest_work/console.log" -monitor none -no-reboot "$@" </dev/null
  end=$(date +%s.%N)
  echo "guest run: $(awk "BEGIN { printf \"%.1f\", $end - $start }") s"
  tr -d '\r' < "$guest_work/console.log" > "$guest_work/console.txt"
}
