#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; the one list of system packages.
# Does nothing when all are present.
set -euo pipefail
packages=(
  cmake g++ make ninja-build pkg-config
  clang libclang-rt-14-dev            # libFuzzer targets and sanitizers
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-qpa-plugins libgl1-mesa-dev
  libhidapi-dev libhidapi-hidraw0
  fonts-liberation2                   # the windows' font, the same headless and on a screen
  xvfb xauth
  libxcb1-dev                         # the tray utility's X11 desktop (windows of other programs)
  openbox trayer xdotool x11-utils    # desktop tests and screenshots: window manager, tray, mouse
  qemu-system-x86 linux-image-amd64 busybox-static   # the port driver's test on a real kernel
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
