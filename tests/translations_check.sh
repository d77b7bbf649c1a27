#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The translation files are whole and up to date: a fresh lupdate over the
# sources changes nothing (a text added or changed without its translation
# shows as a difference) and no entry is unfinished. 77 (skipped) without lupdate.
set -uo pipefail
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
bash "${1:?usage: translations_check.sh SOURCE_DIR}/scripts/update-translations.sh" -o "$scratch" || exit
diff -ru "$1/translations" "$scratch" || { echo "FAIL: run scripts/update-translations.sh and translate" >&2; exit 1; }
! grep -n 'type="\(unfinished\|vanished\|obsolete\)"' "$scratch"/*.ts || { echo "FAIL: unfinished translations" >&2; exit 1; }
