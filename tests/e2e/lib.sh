# SPDX-License-Identifier: MIT
# Shared helpers of the end-to-end tests: a private Xvfb server, the state the
# program writes (TUNECRATE_STATE), real drags.

fail() { echo "FAIL: $*" >&2; [ ! -f "${TUNECRATE_STATE:-}" ] || grep -v "^folder" "$TUNECRATE_STATE" >&2; exit 1; }
xdotool() { timeout 30 xdotool "$@"; }   # no X request hangs a test

start_xvfb() {
  # The server picks a free display itself and tells which: two runs at once
  # (ctest -j) never share one; it never resets (and forgets the keymap).
  local number_file; number_file=$(mktemp)
  Xvfb -displayfd 3 -noreset -screen 0 1280x1024x24 -dpi 96 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  XVFB_PID=$!
  wait_for grep -q . "$number_file" || fail "Xvfb did not start"
  export DISPLAY=":$(head -n 1 "$number_file")" QT_QPA_PLATFORM=xcb
  rm -f "$number_file"
  timeout 30 xdpyinfo >/dev/null 2>&1 || fail "Xvfb on $DISPLAY does not answer"
}

# e2e_begin BIN SRC: a private X server and a fresh demo floppy and song folder in $work.
e2e_begin() {
  BIN=$(realpath "$1")
  work=$(mktemp -d)
  APP_PID=""
  trap 'e2e_end' EXIT
  # Japanese titles and typing, in UTF-8 whatever the caller's locale (none in
  # `env -i`); Qt's own theme, whose double-click interval is 400 ms.
  export LC_ALL=C.UTF-8 LANGUAGE=ja LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$(realpath "$2")/tests/lsan.supp}
  unset QT_QPA_PLATFORMTHEME XDG_CURRENT_DESKTOP DESKTOP_SESSION
  start_xvfb
  bash "$(realpath "$2")/scripts/make-demo.sh" "$work" "$BIN" >/dev/null
  export TUNECRATE_STATE="$work/state" MTOOLS_SKIP_CHECK=1 XDG_RUNTIME_DIR="$work/run"   # not one in $TMPDIR
  mkdir -m 700 "$XDG_RUNTIME_DIR"
}

e2e_end() { kill ${APP_PID:-} ${XVFB_PID:-} 2>/dev/null || true; rm -rf "$work"; }

# wait_for CMD...: until the command succeeds, at most 30 s.
wait_for() { local end=$((SECONDS + 30)); until "$@"; do [ $SECONDS -lt $end ] || return 1; sleep 0.1; done; }

# wait_window NAME -> the id of the window of that title once it is mapped
wait_window() { wait_for xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }

# keys_for TEXT, before the program starts: its characters on spare keys (else
# xdotool binds each one only for its press, gone before a busy program looks).
keys_for() {
  local i k=""; for ((i = 0; i < ${#1}; i++)); do k+=" key <I$((240 + i))> { [ U$(printf %X "'${1:i:1}") ] };"; done
  setxkbmap -print | sed "s|xkb_symbols *{ *include \"[^\"]*\"|&$k|" | timeout 30 xkbcomp -w0 - "$DISPLAY"
}

# point X Y [ACTION...]: the pointer there (--sync waits 15 s for a move to
# where it already is), then the xdotool actions.
point() {
  [ "$(xdotool getmouselocation --shell | head -2 | tr '\n' ' ')" = "X=$1 Y=$2 " ] || xdotool mousemove --sync "$1" "$2"
  [ $# -le 2 ] || xdotool "${@:3}"
}

sum() { md5sum | cut -d' ' -f1; }

# row_centre LIST ROW and folder_centre PATH: "X Y" of the middle of a row
# or a tree folder, as the program reports them.
row_centre() { awk -v l="$1" -v r="$2" '$1 == l && $2 == r { print int($3 + $5 / 2), int($4 + $6 / 2); exit }' "$TUNECRATE_STATE"; }
folder_centre() { awk -v p="$1" '$1 ~ /^(folder|selected)$/ && $6 == p { print int($2 + $4 / 2), int($3 + $5 / 2); exit }' "$TUNECRATE_STATE"; }

# drag BUTTON X1 Y1 X2 Y2 [CMD...]: a real drag with that mouse button, in
# steps, released once CMD tells that another program's window has taken it.
drag() {
  point "$2" "$3" mousedown "$1" sleep 0.2
  for i in 1 2 3 4 5 6; do point $(($2 + ($4 - $2) * i / 6)) $(($3 + ($5 - $3) * i / 6)) sleep 0.1; done
  point $(($4 + 1)) "$5" sleep 0.2 mousemove --sync "$4" "$5"
  [ $# -le 5 ] || wait_for "${@:6}" || fail "the drag was not taken where it stands: ${*:6}"
  xdotool mouseup "$1"
}
