#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Editing as a user does it: two clicks open the cell editor on a floppy
# title and comment, typing and Enter or Tab store them in the catalogue, the
# Delete key empties a slot after the question, F2 renames a hard-disk song.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" "$2"

(cd "$work/songs" && HOME="$work" exec "$BIN" --floppy "$work/floppy") &
APP_PID=$!
win=$(wait_window "Tunecrate Ver.1.0b3") || fail "main window did not appear"
window_geometry "$win"
dialog_units
fl_x=$((WX + $(dlu_x 237))); fl_y=$((WY + $(dlu_y 89)))
fl_w=$(dlu_x 204); fl_h=$(dlu_y 280)
hd_x=$((WX + $(dlu_x 13))); hd_y=$((WY + $(dlu_y 181)))
hd_w=$(dlu_x 207); hd_h=$(dlu_y 187)

# selected_row_y X Y W H: the middle of the highlighted row in that list.
selected_row_y() {
  sleep 0.4
  import -window root "$work/list.png"
  highlight_row "$work/list.png" "$@"
}
click_at() { xdotool mousemove --sync "$1" "$2"; xdotool click 1; }

# Find the rows: the first row just below the header, then one row down.
click_at $((fl_x + 20)) $((fl_y + 28))
y1=$(selected_row_y "$fl_x" "$fl_y" "$fl_w" "$fl_h")
[ -n "$y1" ] || fail "a click on the first floppy row selected nothing"
xdotool key Down
y2=$(selected_row_y "$fl_x" "$fl_y" "$fl_w" "$fl_h")
[ -n "$y2" ] && [ "$y2" -gt "$y1" ] || fail "Down did not move to the second row"
row_h=$((y2 - y1))
row_y() { echo $((y1 + ($1 - 1) * row_h)); }
title_x=$((fl_x + 40 + 50)); comment_x=$((fl_x + 190 + 60))

# 1. Title of slot 1: the first click focuses the row, the second edits.
click_at "$title_x" "$(row_y 1)"
sleep 0.6
click_at "$title_x" "$(row_y 1)"
sleep 0.4
xdotool key ctrl+a
xdotool type --delay 20 "Blue Bossa"
xdotool key Return
sleep 0.5
[ "$(head -c 19 "$work/floppy/song.nam" | xxd -p)" = "$(printf 'Blue Bossa       \r\n' | xxd -p)" ] \
  || fail "song.nam line 1 is not the new title: $(head -c 19 "$work/floppy/song.nam" | xxd -p)"
[ "$(stat -c %s "$work/floppy/song.nam")" -eq 760 ] || fail "song.nam is not 760 bytes"

# 2. Comment of slot 4, in Japanese, ended by Tab.
click_at "$comment_x" "$(row_y 4)"
sleep 0.6
click_at "$comment_x" "$(row_y 4)"
sleep 0.4
xdotool key ctrl+a
xdotool type --delay 40 "春の録音"
xdotool key Tab
sleep 0.5
line4=$(sed -n 4p "$work/floppy/comments.dat" | iconv -f CP932 -t UTF-8 | tr -d '\r')
[ "$line4" = "春の録音" ] || fail "comments.dat line 4 is '$line4'"

# 3. Delete slot 2 after the question.
click_at $((fl_x + 20)) "$(row_y 2)"
sleep 0.3
xdotool key Delete
box=$(wait_window "Confirm") || fail "Delete asked no question"
press_on_window "$box" Return
sleep 0.5
[ ! -e "$work/floppy/MDR_01.B00" ] || fail "slot 2's song file is still there"
[ -e "$work/floppy/MDR_00.B00" ] && [ -e "$work/floppy/MDR_03.B00" ] || fail "other slots lost their files"
[ "$(sed -n 2p "$work/floppy/song.nam" | xxd -p)" = "$(printf '%17s\r\n' '' | xxd -p)" ] || fail "slot 2's title was not emptied"

# 4. Rename the first hard-disk song with F2.
click_at $((hd_x + 40)) $((hd_y + 28))
sleep 0.5
xdotool key F2
sleep 0.4
xdotool key ctrl+a
xdotool type --delay 20 "Leaves"
xdotool key Return
sleep 0.5
[ -f "$work/songs/Leaves.B00" ] && [ -f "$work/songs/Leaves.EVT" ] && [ -f "$work/songs/Leaves.cmt" ] \
  || fail "F2 did not rename the song's files: $(ls "$work/songs" | tr '\n' ' ')"
[ ! -e "$work/songs/Autumn Leaves.B00" ] || fail "the old song file is still there"

quit_with_escape "$win"
echo "song editing end-to-end: passed"
