# SPDX-License-Identifier: MIT
# Shared helpers of the end-to-end tests: a private Xvfb server, the state the
# program writes (TUNECRATE_STATE), real drags.

fail() { echo "FAIL: $*" >&2; exit 1; }

start_xvfb() {
  # The server picks a free display itself and tells which: two runs at once
  # (ctest -j) never share one.
  local number_file
  number_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  XVFB_PID=$!
  TENTHS=100 wait_for grep -q . "$number_file" || fail "Xvfb did not start"
  export DISPLAY=":$(head -n 1 "$number_file")" QT_QPA_PLATFORM=xcb
  rm -f "$number_file"
  xdpyinfo >/dev/null 2>&1 || fail "Xvfb on $DISPLAY does not answer"
}

# e2e_begin BIN SRC: a private X server and a fresh demo floppy and song folder in $work.
e2e_begin() {
  BIN=$(realpath "$1")
  work=$(mktemp -d)
  APP_PID=""
  trap 'e2e_end' EXIT
  start_xvfb
  bash "$(realpath "$2")/scripts/make-demo.sh" "$work" "$BIN" >/dev/null
  export TUNECRATE_STATE="$work/state" MTOOLS_SKIP_CHECK=1 XDG_RUNTIME_DIR="$work/run"   # not one in $TMPDIR
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  # The scripts look for the windows by their Japanese titles, whatever the desktop's language.
  export LANGUAGE=ja
}

e2e_end() {
  [ -n "${APP_PID:-}" ] && kill "$APP_PID" 2>/dev/null || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$work"
}

# wait_for CMD...: until the command succeeds, at most 5 s (TENTHS=N: N tenths of a second).
wait_for() { for _ in $(seq 1 "${TENTHS:-50}"); do "$@" && return 0; sleep 0.1; done; return 1; }

# wait_window NAME -> its window id, within 10 s
wait_window() { TENTHS=100 wait_for xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }

sum() { md5sum | cut -d' ' -f1; }

# row_centre LIST ROW and folder_centre PATH: "X Y" of the middle of a row
# or a tree folder, as the program reports them.
row_centre() { awk -v l="$1" -v r="$2" '$1 == l && $2 == r { print int($3 + $5 / 2), int($4 + $6 / 2); exit }' "$TUNECRATE_STATE"; }
folder_centre() {
  awk -v p="$1" '($1 == "folder" || $1 == "selected") && $6 == p { print int($2 + $4 / 2), int($3 + $5 / 2); exit }' \
    "$TUNECRATE_STATE"
}

# drag BUTTON X1 Y1 X2 Y2: a real drag with that mouse button, in steps.
drag() {
  xdotool mousemove --sync "$2" "$3" mousedown "$1" sleep 0.2
  for i in 1 2 3 4 5 6; do xdotool mousemove --sync $(($2 + ($4 - $2) * i / 6)) $(($3 + ($5 - $3) * i / 6)) sleep 0.1; done
  xdotool mousemove --sync $(($4 + 1)) "$5" sleep 0.2 mousemove --sync "$4" "$5" mouseup "$1"
}
