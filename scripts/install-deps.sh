#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs every Debian 12 package that building, running, testing,
# benchmarking and packaging Tunecrate needs. Idempotent: quick when all
# are present.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-qpa-plugins libicu-dev qt6-l10n-tools qt6-tools-dev
  qt6-translations-l10n libc-l10n
  libgtest-dev libgmock-dev libbenchmark-dev librapidcheck-dev
  fonts-ipafont-gothic fonts-noto-cjk fontconfig
  xvfb xauth xdotool imagemagick x11-utils
  dosfstools mtools fusefat locales gcovr util-linux dbus-daemon libglib2.0-bin
  nbdkit libnbd-bin fuse3   # a simulated floppy drive for the tests and benches: delayed and failing disks through FUSE and a loop device
  clang libclang-rt-14-dev llvm   # llvm: the symbolizer, so a fuzz crash names its functions
  desktop-file-utils appstream xdg-utils libfile-mimeinfo-perl shared-mime-info man-db
  lintian dpkg-dev librsvg2-bin
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
