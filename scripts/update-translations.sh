#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Refreshes translations/*.ts from the sources: new texts come in unfinished,
# texts that left the sources leave the files. Translate the new ones with
# linguist (or by hand), then build: the build makes the .qm files.
# With -o DIR the refreshed files go to DIR instead, for a check.
set -euo pipefail
cd "$(dirname "$0")/.."
lupdate=${LUPDATE:-/usr/lib/qt6/bin/lupdate}
[ -x "$lupdate" ] || lupdate=$(command -v lupdate6 || command -v lupdate || true)
[ -n "$lupdate" ] || { echo "update-translations.sh: lupdate not found (Debian: qt6-l10n-tools)" >&2; exit 77; }
out=translations
if [ "${1:-}" = "-o" ]; then
  out=${2:?usage: update-translations.sh [-o DIR]}
  mkdir -p "$out"
  for ts in translations/*.ts; do cp "$ts" "$out/"; done
fi
# The core marks its texts with CORE_TEXT("Core", ...); Qt's own tr() and
# QT_TRANSLATE_NOOP find the rest.
"$lupdate" -silent -no-obsolete -locations none -extensions h,cpp -source-language ja -I . \
  -tr-function-alias QT_TRANSLATE_NOOP+=CORE_TEXT \
  core session widgets app -ts "$out"/tunecrate_*.ts
