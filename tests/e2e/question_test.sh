#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A drop's questions and messages stay answerable: its progress gives way to
# every box while it is open, however long the user takes, and the drop goes
# on after the answer.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" "$2"
img="$work/floppy.img"
(cd "$work/songs" && HOME="$work" exec "$BIN" --floppy "$img") &
APP_PID=$!
main=$(wait_window "Tunecrate Ver.1.0b3") || fail "main window did not appear"
wait_for grep -q '^floppyList 3 .* さくらさくら$' "$TUNECRATE_STATE" || fail "slot 4 does not show さくらさくら"
wait_for grep -q '^hardDiskList 2 .* ふるさと$' "$TUNECRATE_STATE" || fail "the song folder is not listed"

# Three songs dropped on slot 4: a question for slot 4, slot 5 takes the
# second, and no slot is left for the third.
read -r hx hy < <(row_centre hardDiskList 0)
point "$hx" "$hy" click 1
read -r hx hy < <(row_centre hardDiskList 2)
point "$hx" "$hy" keydown shift click 1 keyup shift
read -r fx fy < <(row_centre floppyList 3)
drag 1 "$hx" "$hy" "$fx" "$fy"

# box TEXT: the box saying TEXT is open, and no progress stands over it after
# the time a progress takes to come up; then Enter answers it.
box() {
  wait_for grep -q "^dialog messageBox .*$1" "$TUNECRATE_STATE" || fail "no box says '$1': $(grep '^dialog' "$TUNECRATE_STATE")"
  sleep 1.2
  grep -q "^dialog messageBox .*$1" "$TUNECRATE_STATE" || fail "the box saying '$1' went away unanswered"
  ! grep -q '^dialog dropProgress' "$TUNECRATE_STATE" || fail "the drop's progress covers the box saying '$1'"
  xdotool key Return
  wait_for sh -c "! grep -q '^dialog messageBox .*$1' '$TUNECRATE_STATE'" || fail "Enter did not answer the box saying '$1'"
}
box "上書きしますか"
box "5個以上のファイルは格納できません"
wait_for grep -q '^floppyList 3 .* Autumn Leaves$' "$TUNECRATE_STATE" || fail "slot 4 does not hold the first song"
wait_for grep -q '^floppyList 4 .* Blues$' "$TUNECRATE_STATE" || fail "slot 5 does not hold the second song"
[ "$(mtype -i "$img" ::MDR_04.B00 | sum)" = "$(sum < "$work/songs/Blues.b00")" ] || fail "slot 5's file is not the song"
wait_for sh -c "! grep -q '^dialog' '$TUNECRATE_STATE'" || fail "a dialog stays after the drop: $(grep '^dialog' "$TUNECRATE_STATE")"

xdotool windowfocus --sync "$main" key Escape
wait "$APP_PID" || fail "the program did not end cleanly"
APP_PID=""
echo "question end-to-end: passed"
