#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Writes the image fuzzer's seeds into DIR, anew: FAT12 floppies by mkfs.fat
# and mcopy (songs, songs without a catalogue, empty, full), our program's new
# floppy when TUNECRATE can make one, and truncated images; each as the fuzzer
# reads it: its length (4 bytes, little-endian), then its first 32 KB.
set -euo pipefail
export LC_ALL=C MTOOLS_SKIP_CHECK=1
dir=${1:?usage: make-corpus.sh DIR [TUNECRATE]}
tunecrate=${2:-}
mkdir -p "$dir"
rm -f "$dir"/*.img "$dir"/*.seed
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

filler() { head -c "$2" /dev/zero | tr '\0' "$3" > "$work/$1"; }
cp932() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }
# blank NAME LABEL: a fresh FAT12 floppy DIR/NAME.img, which $img names from then on.
blank() { img=$dir/$1.img; mkfs.fat -C -F 12 --invariant -n "$2" "$img" 1440 > /dev/null; }
# put IMG FILE:NAME...: each scratch file copied onto the image under its name.
put() { local img=$1 pair; shift; for pair; do mcopy -o -i "$img" "$work/${pair%%:*}" "::${pair#*:}"; done; }

# song.nam and comments.dat as the instrument writes them: 40 lines, CR LF.
{
  for t in "Blues in F" "夜想曲 第2番" "" "さくらさくら" ""; do
    b=$(cp932 "$t"); printf '%s%*s\r\n' "$b" $((17 - ${#b})) ''
  done
  for _ in $(seq 6 40); do printf '%17s\r\n' ''; done
} > "$work/song.nam"
{
  for c in "練習用" "ピアノ" "" "春の演奏会" ""; do printf '%s\r\n' "$(cp932 "$c")"; done
  for _ in $(seq 6 40); do printf '\r\n'; done
} > "$work/comments.dat"
filler b0 18432 'U'; filler e0 4096 'e'; filler b1 9300 'V'; filler b3 30720 'W'; filler e4 700 'x'
filler small 10 's'

# A song floppy: the catalogue in lower case, a folder (early: in the first 32 KB),
# slots with and without events, a lower-case slot name, long names, a deleted entry.
blank songs SONGS
put "$img" song.nam:song.nam comments.dat:comments.dat
mmd -i "$img" ::Backup
put "$img" "small:Backup/Older take.B00" b0:MDR_00.B00 e0:MDR_00.EVT b1:mdr_01.b00 b3:MDR_03.B00 e4:MDR_04.EVT \
  "small:A song with a long name.B00" small:gone.txt
mdel -i "$img" ::gone.txt

# Songs but no catalogue: reading it writes song.nam and comments.dat.
blank no-catalogue NOCAT
put "$img" b0:MDR_00.B00 e4:MDR_04.EVT

blank empty EMPTY

# Full but for two clusters: the catalogue files and the probe run out of room.
blank full FULL
put "$img" b0:MDR_00.B00
free=$(mdir -i "$img" :: | sed -n 's/ bytes free//p' | tr -d ' ')
filler big $((free - 1024)) 'F'
put "$img" big:BIG.DAT

if [ -x "$tunecrate" ] && ! "$tunecrate" --new-floppy "$dir/new-floppy.img" > /dev/null 2>&1; then
  rm -f "$dir/new-floppy.img"
  echo "make-corpus: $tunecrate --new-floppy made no image; left out" >&2
fi

head -c 100000 "$dir/songs.img" > "$dir/truncated.img"
head -c 512 "$dir/songs.img" > "$dir/boot-sector-only.img"
for img in "$dir"/*.img; do
  { perl -e 'print pack "V", -s shift' "$img"; head -c 32768 "$img"; } > "${img%.img}.seed" && rm "$img"
done
set -- "$dir"/*.seed; echo "make-corpus: $# seeds in $dir"
