#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The shelf under a real X server: a floppy song dragged with the left button
# onto a shelf row lands in that image's first free slot, checked with mtools.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" "$2"
img="$work/floppy.img" shelf="$work/shelf"

(cd "$work/songs" && HOME="$work" exec "$BIN" --floppy "$img" --shelf "$shelf") &
APP_PID=$!
wait_window "Tunecrate Ver.1.0b3" >/dev/null || fail "main window did not appear"
win=$(wait_window "ディスク棚") || fail "the shelf did not open"
xdotool windowmove --sync "$win" 0 560 || true
# The rows where the moved window shows them, not where it stood before.
shelf_row() { awk '$1 == "shelf" && $2 == 1 && $4 > 560 && $7 == "0" && $8 == "DSKA0001.IMG" { print int($3 + $5 / 2), int($4 + $6 / 2) }' "$TUNECRATE_STATE"; }
has_row() { [ -n "$(shelf_row)" ]; }
wait_for has_row || fail "the moved shelf shows no empty DSKA0001.IMG: $(grep '^shelf' "$TUNECRATE_STATE")"
wait_for grep -q '^floppyList 0 .* Blues in F$' "$TUNECRATE_STATE" || fail "slot 1 does not show Blues in F"

read -r fx fy < <(row_centre floppyList 0)
read -r sx sy < <(shelf_row)
drag 1 "$fx" "$fy" "$sx" "$sy"
wait_for grep -q '^shelf 1 .* 1 DSKA0001.IMG$' "$TUNECRATE_STATE" \
  || fail "the row does not show the song that was dropped: $(grep '^shelf' "$TUNECRATE_STATE")"
[ "$(mtype -i "$shelf/DSKA0001.IMG" ::MDR_00.B00 | sum)" = "$(mtype -i "$img" ::MDR_00.B00 | sum)" ] \
  || fail "slot 1 of DSKA0001.IMG does not hold the song"
mdir -i "$img" ::MDR_00.B00 >/dev/null || fail "a left drag took the song off the floppy"

xdotool windowfocus --sync "$(wait_window "Tunecrate Ver.1.0b3")" key Escape
wait "$APP_PID" || fail "the program did not end cleanly"
APP_PID=""
echo "shelf end-to-end: passed"
