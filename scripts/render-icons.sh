#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Renders the program icon's PNG sizes (hicolor layout, under data/icons/)
# from its SVG sources with rsvg-convert (Debian: librsvg2-bin). The PNGs are
# kept in the tree so that building and installing need no SVG renderer:
# run this after changing an SVG and commit what it writes.
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
id=io.github.tunecrate.Tunecrate
for size in 16 24 32 48 64 128 256; do
  # 16 px has its own drawing on whole pixels; the others scale the main one.
  src=$id.svg
  [ "$size" -eq 16 ] && src=$id-16.svg
  mkdir -p "hicolor/${size}x${size}/apps"
  rsvg-convert --width "$size" --height "$size" "$src" --output "hicolor/${size}x${size}/apps/$id.png"
done
