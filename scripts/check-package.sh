#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks the Debian package that `make package` built: installs it as a user
# would (apt-get, which also installs what it depends on, when run as root;
# otherwise unpacked into a scratch folder), runs the installed program, and
# lets lintian judge the package: an error (E:) fails the check.
# Usage: scripts/check-package.sh [BUILD_DIR]   (default build-release)
# As root the package stays installed: `apt-get remove tunecrate` removes it.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}
shopt -s nullglob
debs=("$build"/tunecrate_*.deb)
if [ ${#debs[@]} -ne 1 ]; then
  echo "check-package: want one $build/tunecrate_*.deb, found ${#debs[@]} (make package makes it)" >&2
  exit 1
fi
deb=$(realpath "${debs[0]}")
echo "== $deb"
dpkg-deb --field "$deb" Package Version Architecture Section Priority Maintainer Depends Recommends
# Found by dpkg-shlibdeps: without them apt would install a program that cannot start.
dpkg-deb --field "$deb" Depends | grep -q 'libqt6widgets6' ||
  { echo "check-package: the package does not depend on the Qt libraries" >&2; exit 1; }
dpkg-deb --field "$deb" Depends | grep 'qt6-translations-l10n' | grep -q 'libc-l10n' ||
  { echo "check-package: the package does not depend on the translations of Qt and of the system" >&2; exit 1; }
dpkg-deb --field "$deb" Recommends | grep -q 'fonts-noto-cjk | fonts-ipafont-gothic' ||
  { echo "check-package: the package does not recommend a Japanese font" >&2; exit 1; }

if [ "$(id -u)" -eq 0 ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb"
  tunecrate=/usr/bin/tunecrate
else
  root=$(mktemp -d)
  trap 'rm -rf "$root"' EXIT
  dpkg-deb -x "$deb" "$root"
  tunecrate=$root/usr/bin/tunecrate
fi
echo "== $tunecrate --version"
"$tunecrate" --version
# A text in English comes from the command line's Qt part, installed beside the window's program.
echo "== $tunecrate lsit (in English)"
said=$(LC_ALL=C.UTF-8 LANGUAGE=en "$tunecrate" lsit 2>&1) || true
printf '%s\n' "$said"
grep -q '^tunecrate: unknown command lsit' <<<"$said" ||
  { echo "check-package: the installed command line does not say its texts in English" >&2; exit 1; }

echo "== lintian"
# lintian exits 1 when it reports an error, and otherwise non-zero only when
# it could not do its work.
status=0
report=$(lintian --info "$deb" 2>&1) || status=$?
[ -z "$report" ] || printf '%s\n' "$report"
if grep -q '^E: ' <<<"$report"; then
  echo "check-package: lintian reports errors" >&2
  exit 1
elif [ "$status" -ne 0 ]; then
  echo "check-package: lintian failed (exit status $status)" >&2
  exit 1
fi
echo "check-package: $(basename "$deb") $([ "$(id -u)" -eq 0 ] && echo installs || echo unpacks), runs and has no lintian errors"
