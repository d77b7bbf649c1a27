#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Each layer includes only what lies below it: core (no Qt) <- session (no
# widgets) <- widgets (no app) <- app; within core, the operations on songs
# (songs/) stay above the disk layer and the texts. Prints every include that
# breaks this.
cd "$1" || exit 2
broken=$(
  grep -rnE '#\s*include\s*[<"]Q' core || true
  grep -rnE '#\s*include\s*"(widgets|app)/' core session || true
  grep -rnE '#\s*include\s*"app/' widgets || true
  grep -rnE '#\s*include\s*"core/songs/' core/disk || true
  grep -rnE '#\s*include\s*"core/songs/' core/text || true
  grep -rnE '#\s*include\s*<Q(Widget|Abstract|Tree|List|Label|Push|Menu|Dialog|Line|Application)' session || true
)
[ -z "$broken" ] && exit 0
echo "includes that reach up a layer:"
echo "$broken"
exit 1
