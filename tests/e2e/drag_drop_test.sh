#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Songs moved by real drags: a left drag copies a hard-disk song onto floppy
# slot 2 after the overwrite question, a right drag moves a floppy song onto a
# folder of the tree; the files on both sides are checked afterwards.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" "$2"
mkdir -p "$work/songs/Archive"
sum() { md5sum < "$1" | cut -d' ' -f1; }
blues_sum=$(sum "$work/songs/Blues.b00")
slot1_sum=$(sum "$work/floppy/MDR_00.B00")

(cd "$work/songs" && HOME="$work" exec "$BIN" --floppy "$work/floppy") &
APP_PID=$!
win=$(wait_window "Tunecrate Ver.1.0b3") || fail "main window did not appear"
window_geometry "$win"
dialog_units
fl_x=$((WX + $(dlu_x 237))); fl_y=$((WY + $(dlu_y 89))); fl_w=$(dlu_x 204); fl_h=$(dlu_y 280)
hd_x=$((WX + $(dlu_x 13))); hd_y=$((WY + $(dlu_y 181))); hd_w=$(dlu_x 207); hd_h=$(dlu_y 187)
tree_x=$((WX + $(dlu_x 14))); tree_y=$((WY + $(dlu_y 33))); tree_w=$(dlu_x 207); tree_h=$(dlu_y 132)

selected_row_y() { sleep 0.4; import -window root "$work/s.png"; highlight_row "$work/s.png" "$@"; }

# Row geometry of the floppy list, as a user would find it by clicking.
xdotool mousemove --sync $((fl_x + 20)) $((fl_y + 28)); xdotool click 1
f1=$(selected_row_y "$fl_x" "$fl_y" "$fl_w" "$fl_h"); xdotool key Down
f2=$(selected_row_y "$fl_x" "$fl_y" "$fl_w" "$fl_h")
[ -n "$f1" ] && [ -n "$f2" ] || fail "cannot find the floppy rows"
row_h=$((f2 - f1))

# 1. Left drag of "Blues" (the second hard-disk row) onto slot 2: asks, y copies.
xdotool mousemove --sync $((hd_x + 40)) $((hd_y + 28)); xdotool click 1
h1=$(selected_row_y "$hd_x" "$hd_y" "$hd_w" "$hd_h")
[ -n "$h1" ] || fail "cannot find the hard-disk rows"
drag 1 $((hd_x + 40)) $((h1 + row_h)) $((fl_x + 120)) "$f2"
box=$(wait_window "Overwrite\\?") || { import -window root /tmp/drag-fail.png; fail "no overwrite question for an occupied slot (rows $f1 $f2 $h1)"; }
press_on_window "$box" y
for _ in $(seq 1 30); do [ "$(sum "$work/floppy/MDR_01.B00")" = "$blues_sum" ] && break; sleep 0.1; done
[ "$(sum "$work/floppy/MDR_01.B00")" = "$blues_sum" ] || fail "slot 2 does not hold Blues"
[ -f "$work/floppy/MDR_01.EVT" ] || fail "Blues's events file did not follow"
[ "$(sed -n 2p "$work/floppy/song.nam" | tr -d '\r')" = "Blues            " ] || fail "slot 2's title is not Blues"
[ "$(sum "$work/songs/Blues.b00")" = "$blues_sum" ] || fail "a left drag changed its source"

# 2. Right drag of slot 1 onto the tree's selected folder's "Archive" child:
#    find the working folder's row in the tree and drop just below it.
t=$(selected_row_y "$tree_x" "$tree_y" "$tree_w" "$tree_h")
[ -n "$t" ] || fail "no selected folder in the tree"
drag 3 $((fl_x + 120)) "$f1" $((tree_x + 110)) $((t + row_h))
for _ in $(seq 1 30); do [ -f "$work/songs/Archive/Blues in F.B00" ] && break; sleep 0.1; done
[ -f "$work/songs/Archive/Blues in F.B00" ] || fail "the right drag left no song in Archive: $(ls "$work/songs/Archive")"
[ "$(sum "$work/songs/Archive/Blues in F.B00")" = "$slot1_sum" ] || fail "the moved song's bytes changed"
[ "$(iconv -f CP932 -t UTF-8 < "$work/songs/Archive/Blues in F.cmt")" = "練習用" ] || fail "the comment did not travel"
for _ in $(seq 1 30); do [ ! -e "$work/floppy/MDR_00.B00" ] && break; sleep 0.1; done
[ ! -e "$work/floppy/MDR_00.B00" ] || fail "a right drag kept its source on the floppy"
[ "$(sed -n 1p "$work/floppy/song.nam" | tr -d '\r')" = "                 " ] || fail "slot 1's title was not emptied"

quit_with_escape "$win"
echo "drag and drop end-to-end: passed"
