#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Folder commands as a user gives them: a right-click on the selected folder
# opens the menu, "新規作成" makes a folder, F2 renames it, "削除" deletes it
# after the question, and a linked folder outside survives the deletion.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" "$2"
mkdir -p "$work/outside" && echo keep > "$work/outside/keep.B00"

(cd "$work/songs" && HOME="$work" exec "$BIN" --floppy "$work/floppy") &
APP_PID=$!
win=$(wait_window "Tunecrate Ver.1.0b3") || fail "main window did not appear"
window_geometry "$win"
dialog_units
tree_x=$((WX + $(dlu_x 14))); tree_y=$((WY + $(dlu_y 33)))
tree_w=$(($(dlu_x 207))); tree_h=$(($(dlu_y 132)))

# right_click_selected: a real right-click on the tree's selected item.
right_click_selected() {
  sleep 0.5
  import -window root "$work/tree.png"
  local y
  y=$(highlight_row "$work/tree.png" "$tree_x" "$tree_y" "$tree_w" "$tree_h")
  [ -n "$y" ] || { cp "$work/tree.png" /tmp/e2e-tree.png; fail "no selected folder in the tree"; }
  xdotool mousemove --sync $((tree_x + tree_w / 3)) "$y"
  xdotool click 3
  sleep 0.4
}

# 1. New folder inside the working directory.
right_click_selected
xdotool key Down Return
for _ in $(seq 1 30); do [ -d "$work/songs/新規ディレクトリ" ] && break; sleep 0.1; done
[ -d "$work/songs/新規ディレクトリ" ] || fail "新規作成 made no folder"

# 2. Rename it by editing its label.
sleep 0.3
xdotool key F2
sleep 0.3
xdotool key ctrl+a
xdotool type --delay 20 "Jazz"
xdotool key Return
for _ in $(seq 1 30); do [ -d "$work/songs/Jazz" ] && break; sleep 0.1; done
[ -d "$work/songs/Jazz" ] || fail "the label edit did not rename the folder"
[ ! -e "$work/songs/新規ディレクトリ" ] || fail "the old folder name is still there"

# 3. Delete it, with a song, a subfolder and a link to a folder outside in it.
mkdir -p "$work/songs/Jazz/Sub/Deep"
echo x > "$work/songs/Jazz/a.B00"
ln -s "$work/outside" "$work/songs/Jazz/link"
right_click_selected
xdotool key Down Down Return
box=$(wait_window "Notice") || fail "削除 asked no question"
press_on_window "$box" Return
for _ in $(seq 1 30); do [ ! -e "$work/songs/Jazz" ] && break; sleep 0.1; done
[ ! -e "$work/songs/Jazz" ] || fail "削除 left the folder"
[ "$(cat "$work/outside/keep.B00")" = keep ] || fail "the deletion followed a link out of the folder"
[ -f "$work/songs/Blues.b00" ] || fail "the deletion touched the parent folder"

quit_with_escape "$win"
echo "folder commands end-to-end: passed"
