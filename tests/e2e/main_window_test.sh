#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The real program under Xvfb, driven with the pointer and the keyboard:
# it shows the demo floppy, leaves the catalogue untouched, reports a missing
# floppy on reload and ends with Escape.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
e2e_begin "$1" "$2"
cp "$work/floppy/song.nam" "$work/song.nam.before"
cp "$work/floppy/comments.dat" "$work/comments.dat.before"

# 1. The demo floppy: window, colours, slots and free-space bar.
(cd "$work/songs" && exec "$BIN" --floppy "$work/floppy") &
APP_PID=$!
win=$(wait_window "Tunecrate Ver.1.0b3") || fail "main window did not appear"
window_geometry "$win"
dialog_units
sleep 0.5
import -window root "$work/shot1.png"
[ "$(pixel "$work/shot1.png" $((WX + 3)) $((WY + 3)))" = "000080" ] || fail "background is not navy"
red=$(count_colour "$work/shot1.png" "$WX" "$WY" "$WW" "$WH" "#FF0000")
[ "$red" -gt 100 ] || fail "no free-space bar drawn ($red red pixels)"
yellow=$(count_colour "$work/shot1.png" "$WX" "$WY" "$WW" "$WH" "#FFFF00")
[ "$yellow" -gt 200 ] || fail "no yellow texts ($yellow pixels)"

# Reload by a real click on "再読み込み": the same floppy, no message.
click_dlu $((237 + 19)) $((72 + 7)) 1
sleep 0.5
if xdotool search --onlyvisible --name "^Error!$" >/dev/null 2>&1; then fail "reload of a good floppy showed an error"; fi
cmp -s "$work/floppy/song.nam" "$work/song.nam.before" || fail "song.nam changed by reading"
cmp -s "$work/floppy/comments.dat" "$work/comments.dat.before" || fail "comments.dat changed by reading"

# Escape ends the program with status 0.
quit_with_escape "$win"

# 2. No floppy: a silent start, then reload reports it.
(cd "$work/songs" && exec "$BIN" --floppy "$work/nowhere") &
APP_PID=$!
win=$(wait_window "Tunecrate Ver.1.0b3") || fail "main window did not appear without floppy"
window_geometry "$win"
dialog_units
sleep 0.5
if xdotool search --onlyvisible --name "^Error!$" >/dev/null 2>&1; then fail "start-up without floppy showed a message"; fi
import -window root "$work/shot2.png"
red=$(count_colour "$work/shot2.png" "$WX" "$WY" "$WW" "$WH" "#FF0000")
[ "$red" -eq 0 ] || fail "free-space bar drawn without a floppy"
click_dlu $((237 + 19)) $((72 + 7)) 1
box=$(wait_window "Error!") || fail "reload without floppy showed no message"
import -window root "$work/shot3.png"
press_on_window "$box" Return
sleep 0.3
if xdotool search --onlyvisible --name "^Error!$" >/dev/null 2>&1; then fail "message box did not close"; fi
[ ! -e "$work/nowhere" ] || fail "a missing floppy folder was created"
quit_with_escape "$win"
[ -z "${KEEP_SHOTS:-}" ] || cp "$work"/shot*.png "$KEEP_SHOTS"/
echo "main window end-to-end: passed"
