#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes a demo floppy and a demo song folder under the given folder, anew each
# time: DIR/floppy (five slots, catalogue in CP932), the same floppy as a 1.44 MB
# image DIR/floppy.img, DIR/songs, and a small shelf of images as a floppy
# emulator's stick holds them, DIR/shelf (one of them damaged). The image is made by the program's own
# --new-floppy (PROGRAM, by default DIR/../app/tunecrate as in a build folder)
# and filled with mtools, so the demo opens a disk that a FAT tool wrote.
set -euo pipefail
export LC_ALL=C   # byte lengths, not characters
dir=${1:?usage: make-demo.sh DIR [PROGRAM]}
program=${2:-$dir/../app/tunecrate}
[ -x "$program" ] || { echo "make-demo.sh: no program at $program" >&2; exit 1; }
rm -rf "$dir/floppy" "$dir/floppy.img" "$dir/songs" "$dir/shelf"
mkdir -p "$dir/floppy" "$dir/songs" "$dir/shelf"

# song data: deterministic filler of the given size
song() { head -c "$2" /dev/zero | tr '\0' '\125' > "$1"; }
cp932() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }

fd="$dir/floppy"
song "$fd/MDR_00.B00" 18432; song "$fd/MDR_00.EVT" 4096
song "$fd/MDR_01.B00" 9300
song "$fd/MDR_03.B00" 30720; song "$fd/MDR_03.EVT" 2048

# song.nam: 40 lines of 17 bytes, comments.dat: 40 lines; both end lines in CR LF
{
  for t in "Blues in F" "夜想曲 第2番" "" "さくらさくら" ""; do
    b=$(cp932 "$t"); printf '%s%*s\r\n' "$b" $((17 - ${#b})) ''
  done
  for _ in $(seq 6 40); do printf '%17s\r\n' ''; done
} > "$fd/song.nam"
{
  for c in "練習用" "ピアノ" "" "春の演奏会" ""; do printf '%s\r\n' "$(cp932 "$c")"; done
  for _ in $(seq 6 40); do printf '\r\n'; done
} > "$fd/comments.dat"

img="$dir/floppy.img"
"$program" --new-floppy "$img"
for f in "$fd"/*; do
  # -o: the new image's empty song.nam and comments.dat give way to the demo's
  MTOOLS_SKIP_CHECK=1 mcopy -o -i "$img" "$f" "::$(basename "$f")"
done

sd="$dir/songs"
song "$sd/Autumn Leaves.B00" 21000; song "$sd/Autumn Leaves.EVT" 3000
printf 'ジャズ' | iconv -f UTF-8 -t CP932 > "$sd/Autumn Leaves.cmt"
song "$sd/Blues.b00" 12000; song "$sd/Blues.evt" 1024
printf 'Fのブルース' | iconv -f UTF-8 -t CP932 > "$sd/Blues.CMT"
song "$sd/ふるさと.B00" 15360
mkdir -p "$sd/練習曲" "$sd/Live"
song "$sd/練習曲/Etude 1.B00" 8192
# The shelf: three blank images with the next numbers, the demo floppy as the
# fourth, the demo songs imported onto new ones, and a truncated image.
sh="$dir/shelf"
"$program" new --count 3 "$sh" >/dev/null
cp "$img" "$sh/DSKA0003 Demo.IMG"
"$program" import "$sd" "$sh" >/dev/null
head -c 100000 "$img" > "$sh/DSKA0009.IMG"
mkdir -p "$sh/FF"; printf 'interface = shugart\n' > "$sh/FF.CFG"   # the emulator's own files
echo "demo: floppy $fd, image $img, songs $sd, shelf $sh"
