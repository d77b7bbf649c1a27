#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A floppy image file as the floppy: --new-floppy makes it (and never replaces
# it), a real left drag copies a hard-disk song onto slot 1, and the image is
# then checked with other FAT tools (fsck.fat, mdir, mtype). A right-click on
# the background shows the menu that opens images; its screenshot is kept in
# $KEEP_SHOTS when that is set.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" "$2"
export MTOOLS_SKIP_CHECK=1
img="$work/new.img"
sum() { md5sum | cut -d' ' -f1; }

# 1. A new image, and a second --new-floppy that must leave it alone.
"$BIN" --new-floppy "$img" || fail "--new-floppy failed with status $?"
[ "$(stat -c %s "$img")" -eq 1474560 ] || fail "the new image is not 1,474,560 bytes"
before=$(sum < "$img")
status=0
"$BIN" --new-floppy "$img" 2>"$work/err" || status=$?
[ "$status" -eq 1 ] || fail "--new-floppy onto an existing file gave status $status"
grep -qF "tunecrate: $img already exists" "$work/err" || fail "unexpected message: $(cat "$work/err")"
[ "$(sum < "$img")" = "$before" ] || fail "an existing image was changed"

# 2. The program on the image; a left drag of "Blues" onto the empty slot 1.
blues_sum=$(sum < "$work/songs/Blues.b00")
(cd "$work/songs" && HOME="$work" exec "$BIN" --floppy "$img") &
APP_PID=$!
win=$(wait_window "Tunecrate Ver.1.0b3") || fail "main window did not appear"
window_geometry "$win"
dialog_units
fl_x=$((WX + $(dlu_x 237))); fl_y=$((WY + $(dlu_y 89)))
hd_x=$((WX + $(dlu_x 13))); hd_y=$((WY + $(dlu_y 181))); hd_w=$(dlu_x 207); hd_h=$(dlu_y 187)

selected_row_y() { sleep 0.4; import -window root "$work/s.png"; highlight_row "$work/s.png" "$@"; }
# Empty slots take no clicks, so the rows are measured on the hard-disk list:
# both lists have the same header and row height.
xdotool mousemove --sync $((hd_x + 40)) $((hd_y + 28)); xdotool click 1
h1=$(selected_row_y "$hd_x" "$hd_y" "$hd_w" "$hd_h"); xdotool key Down
h2=$(selected_row_y "$hd_x" "$hd_y" "$hd_w" "$hd_h")
[ -n "$h1" ] && [ -n "$h2" ] || fail "cannot find the hard-disk rows"
slot1_y=$((fl_y + h1 - hd_y))
drag 1 $((hd_x + 40)) "$h2" $((fl_x + 120)) "$slot1_y"

title_line() { mtype -i "$img" ::song.nam 2>/dev/null | sed -n 1p | tr -d '\r'; }
for _ in $(seq 1 50); do [ "$(title_line)" = "Blues            " ] && break; sleep 0.1; done
[ "$(title_line)" = "Blues            " ] || fail "slot 1's title in the image is '$(title_line)'"

# 3. The background menu, right-clicked beside the logo, on a screenshot.
click_dlu 240 30 3
sleep 0.5
import -window root "$work/menu.png"
[ -z "${KEEP_SHOTS:-}" ] || cp "$work/menu.png" "$KEEP_SHOTS/image-menu.png"
menu_x=$((WX + $(dlu_x 240) + 10)); menu_y=$((WY + $(dlu_y 30) + 8))
[ "$(pixel "$work/menu.png" "$menu_x" "$menu_y")" != "000080" ] || fail "no menu under the right-click"
xdotool key Escape
sleep 0.3
quit_with_escape "$win"

# 4. What other FAT tools make of the image the program wrote.
fsck.fat -n "$img" >"$work/fsck" 2>&1 || fail "fsck.fat finds faults: $(cat "$work/fsck")"
size=$(mdir -i "$img" :: | awk '$1 == "MDR_00" && $2 == "B00" { print $3 }')
[ "$size" = "$(stat -c %s "$work/songs/Blues.b00")" ] || fail "mdir lists MDR_00.B00 with size '$size'"
[ "$(mtype -i "$img" ::MDR_00.B00 | sum)" = "$blues_sum" ] || fail "MDR_00.B00 does not hold Blues"
[ "$(mtype -i "$img" ::MDR_00.EVT | sum)" = "$(sum < "$work/songs/Blues.evt")" ] || fail "the events file did not follow"
comment=$(mtype -i "$img" ::comments.dat | sed -n 1p | tr -d '\r' | iconv -f CP932 -t UTF-8)
[ "$comment" = "Fのブルース" ] || fail "slot 1's comment in the image is '$comment'"
[ "$(sum < "$work/songs/Blues.b00")" = "$blues_sum" ] || fail "a left drag changed its source"
echo "floppy image end-to-end: passed"
