#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A floppy drive simulated from Debian's parts, for the tests: nbdkit serves
# a floppy image (with a drive's latency, unreadable areas, or random
# failures), nbdfuse makes that a file, and losetup a block device, so the
# kernel answers with real latency and real EIO.
#
#   sim-drive.sh check                   exit 0, or 77 saying what is missing
#   sim-drive.sh start DIR IMAGE [OPT]   the disk in a new drive; prints its device
#   sim-drive.sh swap DIR IMAGE [OPT]    the disk out (the device empty for a second), then IMAGE in
#   sim-drive.sh out DIR                 no disk in the drive
#   sim-drive.sh stop DIR                the drive gone
# OPT: --delay MS (each read and write), --bad MAPFILE (a rescue map: areas
# marked "-" fail), --errors RATE (that share of requests fail, 0..1).
# DIR keeps the drive's state: its device, the server and the FUSE mount.
set -euo pipefail

need() {
  local what
  [ "$(id -u)" -eq 0 ] || { echo "needs root, for loop devices and FUSE mounts"; return 1; }
  for what in nbdkit nbdfuse losetup; do
    command -v "$what" >/dev/null || { echo "needs $what (packages nbdkit, libnbd-bin, util-linux)"; return 1; }
  done
  [ -c /dev/fuse ] || { echo "needs /dev/fuse"; return 1; }
  [ -c /dev/loop-control ] || [ -b /dev/loop0 ] || { echo "needs loop devices"; return 1; }
}

# serve DIR IMAGE OPT...: nbdkit and nbdfuse for IMAGE; the file in DIR/fuse/nbd.
serve() {
  local dir=$1 image=$2; shift 2
  local filters=() params=()
  while [ $# -gt 0 ]; do
    case $1 in
      --delay) filters+=(--filter=delay); params+=("rdelay=$2ms" "wdelay=$2ms"); shift 2 ;;
      --bad) filters+=(--filter=ddrescue); params+=("ddrescue-mapfile=$(realpath "$2")"); shift 2 ;;
      --errors) filters+=(--filter=error); params+=("error-rate=$2" error=EIO); shift 2 ;;
      *) echo "sim-drive.sh: unknown option $1" >&2; exit 2 ;;
    esac
  done
  mkdir -p "$dir/fuse"
  rm -f "$dir/sock"
  # Their output to a log, never to the caller's: a $(sim-drive.sh start) would wait for them.
  nbdkit -U "$dir/sock" -P "$dir/nbdkit.pid" "${filters[@]}" file "$(realpath "$image")" "${params[@]}" >>"$dir/log" 2>&1
  nbdfuse "$dir/fuse/nbd" --unix "$dir/sock" >>"$dir/log" 2>&1 &
  echo $! > "$dir/nbdfuse.pid"
  local i
  for i in $(seq 100); do [ -e "$dir/fuse/nbd" ] && return 0; sleep 0.05; done
  echo "sim-drive.sh: nbdfuse did not start" >&2; exit 1
}

unserve() {
  local dir=$1
  if mountpoint -q "$dir/fuse/nbd" 2>/dev/null || grep -q " $(realpath "$dir")/fuse/nbd " /proc/mounts; then
    umount -l "$dir/fuse/nbd" 2>/dev/null || fusermount3 -u "$dir/fuse/nbd" 2>/dev/null || true
  fi
  [ -f "$dir/nbdfuse.pid" ] && { kill "$(cat "$dir/nbdfuse.pid")" 2>/dev/null || true; rm -f "$dir/nbdfuse.pid"; }
  [ -f "$dir/nbdkit.pid" ] && { kill "$(cat "$dir/nbdkit.pid")" 2>/dev/null || true; rm -f "$dir/nbdkit.pid"; }
  return 0
}

# The disk out: the loop device stays, with nothing behind it (size 0).
out() {
  local dir=$1 dev; dev=$(cat "$dir/device")
  losetup -d "$dev" 2>/dev/null || true
  local i
  for i in $(seq 100); do [ "$(cat "/sys/class/block/$(basename "$dev")/size")" = 0 ] && break; sleep 0.05; done
  unserve "$dir"
}

case ${1:-} in
  check) need || exit 77 ;;
  start)
    dir=$2 image=$3; shift 3
    mkdir -p "$dir"
    serve "$dir" "$image" "$@"
    # A device far above the ones `losetup -f` hands out, so that no other
    # test takes this drive's device while its disk is out.
    for n in $(seq 200 299); do
      if ! losetup "/dev/loop$n" >/dev/null 2>&1 && losetup --direct-io=on "/dev/loop$n" "$dir/fuse/nbd" 2>/dev/null; then
        echo "/dev/loop$n" > "$dir/device"; break
      fi
    done
    [ -s "$dir/device" ] || { echo "sim-drive.sh: no free loop device" >&2; exit 1; }
    cat "$dir/device" ;;
  swap)
    dir=$2 image=$3; shift 3
    out "$dir"
    sleep 1   # a person takes a second to change disks; a poll of the drive sees it empty
    serve "$dir" "$image" "$@"
    losetup --direct-io=on "$(cat "$dir/device")" "$dir/fuse/nbd" ;;
  out) out "$2" ;;
  stop)
    dir=$2
    [ -f "$dir/device" ] && out "$dir"
    unserve "$dir" ;;
  *) sed -n '2,17p' "$0" >&2; exit 2 ;;
esac
