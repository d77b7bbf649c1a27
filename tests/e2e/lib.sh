# SPDX-License-Identifier: MIT
# Shared helpers of the end-to-end tests: a private Xvfb server, the window's
# geometry, dialog-unit arithmetic and pixel counting on screenshots.

fail() { echo "FAIL: $*" >&2; exit 1; }

start_xvfb() {
  # The server picks a free display itself and tells which: two runs at once
  # (ctest -j) never share one.
  local number_file
  number_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 1 100); do
    if grep -q . "$number_file" 2>/dev/null; then
      export DISPLAY=":$(head -n 1 "$number_file")"
      rm -f "$number_file"
      export QT_QPA_PLATFORM=xcb   # the test runner may ask for offscreen
      xdpyinfo >/dev/null 2>&1 && return 0
      fail "Xvfb on $DISPLAY does not answer"
    fi
    sleep 0.1
  done
  rm -f "$number_file"
  fail "Xvfb did not start"
}

stop_xvfb() { [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null || true; }

# wait_window NAME -> window id on stdout
wait_window() {
  local id
  for _ in $(seq 1 200); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# window_geometry ID -> sets WX WY WW WH
window_geometry() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  WX=$X; WY=$Y; WW=$WIDTH; WH=$HEIGHT
}

# The window is 455 x 383 dialog units; recover the base units from its size.
dialog_units() {
  BASE_X=$(awk -v w="$WW" 'BEGIN { printf "%d", w * 4 / 455 + 0.5 }')
  BASE_Y=$(awk -v h="$WH" 'BEGIN { printf "%d", h * 8 / 383 + 0.5 }')
}
dlu_x() { awk -v d="$1" -v b="$BASE_X" 'BEGIN { printf "%d", d * b / 4 + 0.5 }'; }
dlu_y() { awk -v d="$1" -v b="$BASE_Y" 'BEGIN { printf "%d", d * b / 8 + 0.5 }'; }

# click_dlu X Y BUTTON: a real pointer click at a point given in dialog units.
click_dlu() {
  xdotool mousemove --sync $((WX + $(dlu_x "$1"))) $((WY + $(dlu_y "$2")))
  xdotool click "${3:-1}"
}

# count_colour PNG X Y W H COLOUR -> pixels of exactly that colour in the area
count_colour() {
  convert "$1" -crop "${4}x${5}+${2}+${3}" +repage -fill black +opaque "$6" -fill white -opaque "$6" \
    -format "%[fx:round(mean*w*h)]" info:
}

pixel() { convert "$1" -format "%[hex:u.p{$2,$3}]" info: | cut -c1-6; }

# press_on_window ID KEY: a real key press with the window focused (there is no
# window manager, so the focus is given directly).
press_on_window() {
  xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"
  xdotool key "$2"
}

# highlight_row PNG X Y W H -> the middle y of the rows where the selection
# colour fills most of the width (the tree's one selected item), or nothing.
highlight_row() {
  local colour=${6:-"#308CC6"}
  convert "$1" -crop "${4}x${5}+${2}+${3}" +repage -fill black +opaque "$colour" -fill white -opaque "$colour" \
    -scale "1x${5}!" -depth 8 txt:- |
    awk -v top="$3" 'NR > 1 { split($1, p, "[,:]"); split($2, v, "[(,)]"); if (v[2] + 0 > 127) { rows[n++] = p[2] } }
                     END { if (n > 0) print top + int((rows[0] + rows[n - 1]) / 2) }'
}

# e2e_begin BIN SRC: a private X server and a fresh demo floppy (folder and
# image) and song folder in $work, all removed when the script ends.
e2e_begin() {
  BIN=$(realpath "$1")
  SRC=$(realpath "$2")
  work=$(mktemp -d)
  APP_PID=""
  trap e2e_end EXIT
  start_xvfb
  bash "$SRC/scripts/make-demo.sh" "$work" "$BIN" >/dev/null
}

e2e_end() {
  [ -n "${APP_PID:-}" ] && kill "$APP_PID" 2>/dev/null || true
  stop_xvfb
  rm -rf "$work"
}

# quit_with_escape WINDOW: Escape must end the program, with status 0.
quit_with_escape() {
  press_on_window "$1" Escape
  for _ in $(seq 1 100); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$APP_PID" 2>/dev/null; then fail "Escape did not end the program"; fi
  local status=0
  wait "$APP_PID" || status=$?
  APP_PID=""
  [ "$status" -eq 0 ] || fail "exit status $status"
}

# drag BUTTON X1 Y1 X2 Y2: a real drag with that mouse button, in steps.
drag() {
  local button=$1 x1=$2 y1=$3 x2=$4 y2=$5
  xdotool mousemove --sync "$x1" "$y1"
  xdotool mousedown "$button"
  sleep 0.2
  local i
  for i in 1 2 3 4 5 6; do
    xdotool mousemove --sync $((x1 + (x2 - x1) * i / 6)) $((y1 + (y2 - y1) * i / 6))
    sleep 0.1
  done
  xdotool mousemove --sync $((x2 + 1)) "$y2"
  sleep 0.2
  xdotool mousemove --sync "$x2" "$y2"
  sleep 0.2
  xdotool mouseup "$button"
}
