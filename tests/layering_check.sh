#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Each layer includes only what lies below it: core (no Qt) <- session (no
# widgets) <- widgets (no app) <- app; the command line (cli) is a front end
# beside them, over core alone (no Qt: the disk service and the translations
# reach it through app's Qt part), and only app picks it. Within core, disk/ <- text/ <- songs/: the disk
# layer includes neither the texts nor the songs, the texts not the songs (the
# text table, core/Texts.h, sits beside Result.h under all three).
# Prints every include that breaks this.
cd "$1" || exit 2
broken=$(
  grep -rnE '#\s*include\s*[<"]Q' core || true
  grep -rnE '#\s*include\s*"(widgets|app)/' core session || true
  grep -rnE '#\s*include\s*"cli/' core session widgets || true
  grep -rnE '#\s*include\s*"(widgets|app)/' cli || true
  grep -rnE '#\s*include\s*"session/' cli || true
  grep -rnE '#\s*include\s*[<"]Q' cli || true
  grep -rnE '#\s*include\s*"app/' widgets || true
  grep -rnE '#\s*include\s*"core/(songs|text)/' core/disk || true
  grep -rnE '#\s*include\s*"core/songs/' core/text || true
  grep -rnE '#\s*include\s*<Q(Widget|Abstract|Tree|List|Label|Push|Menu|Dialog|Line|Application)' session || true
)
[ -z "$broken" ] && exit 0
echo "includes that reach up a layer:"
echo "$broken"
exit 1
