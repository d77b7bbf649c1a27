#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# What needs a real X server: left (copy) and right (move) drags, onto the
# shelf's window too, Japanese typed into the cell editor, drags out to and in
# from another program, a question answered during a drop, the window moved by
# its background. Rows and folders
# are found from TUNECRATE_STATE; outcomes are checked on the files, the images
# with mtools.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" "$2"
img="$work/floppy.img" shelf="$work/shelf"
mkdir -p "$work/songs/Archive"
for i in $(seq 100 159); do mkdir "$work/songs/Archive/take $i"; done

mkdir "$work/tmp"
keys_for "春の録音" || fail "the keymap for typing was refused"
(cd "$work/songs" && HOME="$work" TMPDIR="$work/tmp" exec "$BIN" --floppy "$img" --shelf "$shelf") &
APP_PID=$!
main=$(wait_window "Tunecrate Ver.1.0b3") || fail "main window did not appear"
wait_for grep -q '^selected .*/songs$' "$TUNECRATE_STATE" || fail "the working folder is not selected"

# 0. A left drag of slot 1 onto a row of the shelf, moved below the main
# window: the song lands in that image's first free slot and stays on the floppy.
win=$(wait_window "ディスク棚") || fail "the shelf did not open"
xdotool windowmove --sync "$win" 0 700 || true
# The rows where the moved window shows them, not where it stood before.
shelf_row() { awk '$1 == "shelf" && $2 == 1 && $4 > 700 && $7 == "0" && $8 == "DSKA0001.IMG" { print int($3 + $5 / 2), int($4 + $6 / 2) }' "$TUNECRATE_STATE"; }
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
xdotool windowfocus --sync "$main"   # the keys typed below go to the main window

# 1. A left drag of Blues (hard-disk row 1) onto slot 3: a copy, no question.
read -r hx hy < <(row_centre hardDiskList 1)
read -r fx fy < <(row_centre floppyList 2)
drag 1 "$hx" "$hy" "$fx" "$fy"
wait_for grep -q '^floppyList 2 .* Blues$' "$TUNECRATE_STATE" || fail "slot 3 does not show Blues"
[ "$(mtype -i "$img" ::MDR_02.B00 | sum)" = "$(sum < "$work/songs/Blues.b00")" ] || fail "slot 3 does not hold Blues"
[ -f "$work/songs/Blues.b00" ] || fail "a left drag took its source away"

# 2. A right drag of slot 1 onto the folder Archive: a move.
read -r fx fy < <(row_centre floppyList 0)
read -r ax ay < <(folder_centre "$work/songs/Archive")
drag 3 "$fx" "$fy" "$ax" "$ay"
wait_for test -f "$work/songs/Archive/Blues in F.B00" || fail "the right drag left no song in Archive"
[ "$(iconv -f CP932 -t UTF-8 < "$work/songs/Archive/Blues in F.cmt")" = "練習用" ] || fail "the comment did not travel"
wait_for sh -c "! mdir -i '$img' ::MDR_00.B00 >/dev/null 2>&1" || fail "a right drag kept its source on the floppy"
wait_for grep -q '^floppyList 0 [-0-9 ]* $' "$TUNECRATE_STATE" || fail "the list, shown anew, has no empty slot 1"

# 3. Japanese typed into the comment of slot 3: two clicks open the editor, Enter stores.
read -r fx fy < <(row_centre floppyList 2)
point $((fx + 110)) "$fy" click 1
wait_for grep -q '^current floppyList 2$' "$TUNECRATE_STATE" || fail "a click on slot 3 did not make it current"
sleep 0.6; xdotool click 1   # read as a second click, not a double click (Qt's 400 ms)
wait_for grep -q '^focus InPlaceEdit$' "$TUNECRATE_STATE" || fail "two clicks on a comment opened no editor"
xdotool key ctrl+a; xdotool type --delay 40 "春の録音"; xdotool key Return
wait_for sh -c "mtype -i '$img' ::comments.dat | sed -n 3p | iconv -f CP932 -t UTF-8 | grep -q '^春の録音'" \
  || fail "comments.dat line 3 holds '$(mtype -i "$img" ::comments.dat | sed -n 3p | iconv -f CP932 -t UTF-8)', not the typed comment"

# 4. A click on the comment of an empty slot or of a hard-disk song never
# scrolls the list sideways: the titles stay in sight.
view() { awk -v v="$1" '$1 == "view" && $2 == v { print $3, $4, $5, $6, $7, $8, $9, $10, $11, $12 }' "$TUNECRATE_STATE"; }
read -r _ _ _ _ _ _ _ _ _ comment < <(view floppyList)
read -r _ fy < <(row_centre floppyList 0)
point $((comment + 10)) "$fy" click 1
read -r _ _ _ _ _ _ _ _ comment < <(view hardDiskList)
read -r hx hy < <(row_centre hardDiskList 0)
point "$((hx - 60))" "$hy" click 1
wait_for grep -q '^current hardDiskList 0$' "$TUNECRATE_STATE" || fail "a click on a song did not make it current"
sleep 0.6; point $((comment + 10)) "$hy" click 1
wait_for grep -q '^focus InPlaceEdit$' "$TUNECRATE_STATE" || fail "two clicks on a song's comment opened no editor"
xdotool key Escape
for list in floppyList hardDiskList; do
  read -r _ _ _ _ _ sideways _ < <(view $list)
  [ "$sideways" = 0 ] || fail "a click on a comment scrolled $list sideways by $sideways"
done

# 5. A drag resting on the last folder in sight, off the edge, highlights it and moves no row; at the
# tree's lower edge it scrolls a row at a time and stops when the pointer moves on; the drop lands on
# the folder highlighted under it.
read -r ax ay < <(folder_centre "$work/songs/Archive")
point "$ax" "$ay" click 1 key Right
wait_for grep -q "^folder .* $work/songs/Archive/take 159\$" "$TUNECRATE_STATE" || fail "Archive did not open"
wait_for grep -q '^hardDiskList 0 .* Blues in F$' "$TUNECRATE_STATE" || fail "Archive's song is not listed"
read -r tx ty tw th before _ < <(view folderTree)
read -r hx hy < <(row_centre hardDiskList 0)
under() { awk -v y="$1" '$1 ~ /^(folder|selected)$/ && $3 <= y && y < $3 + $5' "$TUNECRATE_STATE" | cut -d' ' -f6-; }
highlighted() { awk '$1 == "target"' "$TUNECRATE_STATE" | cut -d' ' -f6-; }
point "$hx" "$hy" mousedown 1 sleep 0.2
for y in $(seq "$hy" -20 $((ty + th - 12))) $((ty + th - 12)); do point $((tx + 60)) "$y" sleep 0.05; done
last=$(under $((ty + th - 12))); is_last() { [ -n "$last" ] && [ "$(highlighted)" = "$last" ]; }
wait_for is_last || fail "the folder under the pointer ($last) is not highlighted: '$(highlighted)'"
sleep 1; read -r _ _ _ _ still _ < <(view folderTree)
[ "$still" = "$before" ] || fail "rows moved ($before -> $still) under a pointer 12 px from the tree's edge"
for y in $((ty + th - 8)) $((ty + th - 4)); do
  [ "$y" -ge $((ty + th)) ] || edge=${edge:-$(date +%s%N)}; point $((tx + 60)) "$y" sleep 0.05
done
scrolled() { read -r _ _ _ _ resting _ < <(view folderTree); [ $((resting - before)) -ge 3 ]; }
settled() { local was; was=$(view folderTree); sleep 0.6; [ "$was" = "$(view folderTree)" ]; }
sleep 1.5; wait_for scrolled || fail "a drag resting at the tree's edge scrolled $((resting - before)) rows, not 3"
now=$(date +%s%N)
[ $((resting - before)) -le $(((now - edge) / 150000000 + 1)) ] \
  || fail "the tree scrolled $((resting - before)) rows in $(((now - edge) / 1000000)) ms, faster than one per 150 ms"
point $((tx + 60)) $((ty + th / 2)) sleep 0.2 mousemove --sync $((tx + 61)) $((ty + th / 2))
left=$(date +%s%N); wait_for settled || fail "the tree does not stop scrolling"
target=$(under $((ty + th / 2)))
[ -n "$target" ] && [ "$(highlighted)" = "$target" ] || fail "the folder under the pointer ($target) is not the highlighted one ('$(highlighted)')"
read -r _ _ _ _ moved _ < <(view folderTree)
xdotool mouseup 1
# A tick due as the pointer left may still come, never more.
[ $((moved - resting)) -le $(((left - now) / 150000000 + 2)) ] || fail "the tree scrolled on ($resting -> $moved) after the pointer left its edge"
wait_for test -f "$target/Blues in F.B00" || fail "the drop did not land on the folder under the pointer ($target)"

# 6. A drag out to another program carries the songs: slot 3 dropped on a peer window.
"$3" "$work/received" &
RECEIVER_PID=$!
wait_window "drop receiver" >/dev/null || fail "the receiving window did not appear"
read -r fx fy < <(row_centre floppyList 2)
drag 1 "$fx" "$fy" 1000 200 test -f "$work/received.over"
wait_for test -s "$work/received" || fail "the other program received nothing"
[ "$(cat "$work/received")" = "$(printf 'FD\n2\n')" ] || fail "the other program received '$(cat "$work/received")'"
# ... and, as a file manager wants them, the song's files named by its title.
[ "$(ls "$work/received.files" | tr '\n' ' ')" = "Blues.B00 Blues.EVT Blues.cmt " ] \
  || fail "the other program received the files: $(ls "$work/received.files")"
[ "$(sum < "$work/received.files/Blues.B00")" = "$(mtype -i "$img" ::MDR_02.B00 | sum)" ] || fail "the file is not slot 3's song"
[ "$(iconv -f CP932 -t UTF-8 < "$work/received.files/Blues.cmt")" = "春の録音" ] || fail "the comment file is not slot 3's"
kill "$RECEIVER_PID"

# 6b. Song files dragged in from a file manager land on the slot under the pointer.
mkdir "$work/manager"
cp "$work/songs/Blues.b00" "$work/manager/Waltz.B00"
"$3" --drag "$work/manager/Waltz.B00" &
SOURCE_PID=$!
wait_window "file source" >/dev/null || fail "the file manager's window did not appear"
read -r fx fy < <(row_centre floppyList 0)
drag 1 1000 200 "$fx" "$fy" grep -q '^current floppyList 0$' "$TUNECRATE_STATE"
wait_for grep -q '^floppyList 0 .* Waltz$' "$TUNECRATE_STATE" || fail "slot 1 does not show the dropped file's song"
[ "$(mtype -i "$img" ::MDR_00.B00 | sum)" = "$(sum < "$work/manager/Waltz.B00")" ] || fail "slot 1 does not hold the dropped song"
[ -f "$work/manager/Waltz.B00" ] || fail "a file manager's copy took its file away"
kill "$SOURCE_PID"

# 6c. A drop's question stays answerable: its progress gives way to the box however long the
# user takes (no progress over it after the time one takes to come up), and the drop goes on.
read -r hx hy < <(row_centre hardDiskList 0)
read -r fx fy < <(row_centre floppyList 3)
drag 1 "$hx" "$hy" "$fx" "$fy"
wait_for grep -q '^dialog messageBox .*上書きしますか' "$TUNECRATE_STATE" || fail "no question about slot 4: $(grep '^dialog' "$TUNECRATE_STATE")"
sleep 1.2
! grep -q '^dialog dropProgress' "$TUNECRATE_STATE" || fail "the drop's progress covers its question"
xdotool key Return
wait_for grep -q '^floppyList 3 .* Blues in F$' "$TUNECRATE_STATE" || fail "Enter on the question did not let the drop go on"
wait_for sh -c "! grep -q '^dialog' '$TUNECRATE_STATE'" || fail "a dialog stays after the drop: $(grep '^dialog' "$TUNECRATE_STATE")"

# 7. The window follows a drag of its background.
read -r _ wx wy _ < <(grep '^window ' "$TUNECRATE_STATE")
point $((wx + 600)) $((wy + 40)) mousedown 1
for step in 1 2 3 4; do point $((wx + 600 + 20 * step)) $((wy + 40 + 10 * step)) sleep 0.1; done
xdotool mouseup 1
wait_for sh -c "grep -q '^window $((wx + 80)) $((wy + 40)) ' '$TUNECRATE_STATE'" \
  || fail "the window did not follow its background: $(grep '^window ' "$TUNECRATE_STATE") (was $wx $wy)"

win=$(wait_window "Tunecrate Ver.1.0b3") || fail "the main window is gone"
xdotool windowfocus --sync "$win" key Escape
wait "$APP_PID" || fail "the program did not end cleanly"
APP_PID=""
[ -z "$(ls -A "$work/tmp")" ] || fail "the copies made for the drag out are left behind: $(ls -A "$work/tmp")"
echo "window end-to-end: passed"
