#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# `tunecrate ingest` takes a box of ten floppies from a simulated drive (a
# real block device whose reads the kernel fails with EIO where the disk is
# bad) onto a shelf: numbered images byte for byte like the disks, a disk with
# three bad sectors reported with the song they hit, a copy of an earlier
# disk's songs named and not written. ingest_test.sh PROGRAM SOURCE-DIR
set -euo pipefail
BIN=$(realpath "$1") SRC=$(realpath "$2")
SIM="$SRC/tests/sim-drive.sh"
if ! why=$(bash "$SIM" check); then echo "SKIP: the simulated drive $why"; exit 77; fi
export LC_ALL=C.UTF-8 LANGUAGE=ja MTOOLS_SKIP_CHECK=1
work=$(mktemp -d)
trap 'bash "$SIM" stop "$work/drive" >/dev/null 2>&1 || true; kill ${INGEST:-} 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; cat "$work/out" "$work/err" >&2 2>/dev/null || true; exit 1; }
cd "$work"

# Ten song floppies, each with songs of its own; disk 7 holds disk 2's songs
# again, written onto a floppy of its own (other bytes, the same songs).
titles=("Blues in F" "夜想曲 第2番" "Etude" "さくらさくら" "Waltz" "Rondo" "" "Minuet" "Tango" "Bossa")
for i in $(seq 1 10); do
  mkdir "songs$i"
  if [ "$i" = 7 ]; then cp songs2/* songs7/; else
    head -c $((20000 + i * 1500)) /dev/urandom > "songs$i/${titles[$((i - 1))]}.B00"
    head -c 3000 /dev/urandom > "songs$i/${titles[$((i - 1))]}.EVT"
  fi
  "$BIN" --new-floppy "disk$i.img"
  "$BIN" import "songs$i" "disk$i.img" >/dev/null
done
mkdir shelf
"$BIN" new --count 1 shelf >/dev/null && mv shelf/DSKA0000.IMG "shelf/DSKA0003 Old.IMG"   # new ones go after it

# Disk 5's song has three unreadable sectors, well inside its first cluster run.
first=$(mshowfat -i disk5.img ::MDR_00.B00 | sed -n 's/.*<\([0-9]*\)-.*/\1/p')
bad=$((33 + first - 2 + 4))
printf '# Mapfile\n0x0 ?\n0x0 0x%X +\n0x%X 0x600 -\n0x%X 0x%X +\n' $((bad * 512)) $((bad * 512)) $(((bad + 3) * 512)) \
  $((1474560 - (bad + 3) * 512)) > bad.map

dev=$(bash "$SIM" start drive disk1.img --delay 1)
"$BIN" ingest --count 10 --csv table.csv "$dev" shelf > out 2> err &
INGEST=$!
for i in $(seq 2 10); do
  # The next disk once the last one's line is out, as a person would.
  end=$((SECONDS + 60))
  until [ "$(wc -l < out)" -ge $((i - 1)) ]; do
    [ $SECONDS -lt $end ] && kill -0 $INGEST 2>/dev/null || fail "no line for disk $((i - 1))"
    sleep 0.2
  done
  if [ "$i" = 5 ]; then bash "$SIM" swap drive "disk$i.img" --bad bad.map --delay 1; else bash "$SIM" swap drive "disk$i.img" --delay 1; fi
done
status=0; wait $INGEST || status=$?
INGEST=""
[ $status = 1 ] || fail "exit status $status, not 1 (a disk had unreadable sectors)"
[ "$(wc -l < out)" = 10 ] || fail "not one line per disk"

# Nine images, numbered from 4 on, each byte for byte its disk (the bad
# sectors of disk 5 as zeros); disk 7 not written.
dd if=/dev/zero of=disk5.img bs=512 seek=$bad count=3 conv=notrunc status=none
number=4
for i in 1 2 3 4 5 6 8 9 10; do
  image=$(ls shelf | grep "^DSKA$(printf %04d $number)" | grep -v '\.log$') || fail "no image numbered $number"
  cmp -s "shelf/$image" "disk$i.img" || fail "$image is not disk $i"
  number=$((number + 1))
done
ls shelf/DSKA0004\ "Blues in F.IMG" shelf/DSKA0005\ "夜想曲 第2番.IMG" >/dev/null || fail "labels are not the first titles"
[ "$(ls shelf | grep -vc '\.log$')" = 10 ] || fail "the copy was written: $(ls shelf)"
grep -q "DSKA0005 夜想曲 第2番.IMG と同じ曲" out || fail "the copy is not named"
grep "^8  DSKA0008 Waltz.IMG" out | grep -q "読めないセクタ 3 個 \[1 Waltz (MDR_00.B00)\]" || fail "the bad disk's line"
grep -q "# sector $bad (byte .*): MDR_00.B00" "shelf/DSKA0008 Waltz.IMG.log" || fail "the report beside the image"
[ "$(grep -c . table.csv)" = 11 ] || fail "the table has not ten rows"
[ "$(grep -c '次のディスクを入れてください' err)" = 9 ] || fail "not asked for each next disk"
echo "ok: 10 disks, 9 images, 1 copy skipped, 3 bad sectors"
