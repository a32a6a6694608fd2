#!/usr/bin/env bash
# Renders res/icons/sizewalk.svg into the committed 16, 32 and 48 px PNGs.
# Run after changing the SVG, then look at each image at its real size:
# the drawing keeps to a 3-unit grid so edges stay sharp at all three.
# Needs rsvg-convert (Debian package librsvg2-bin); the build does not.
set -euo pipefail
cd "$(dirname "$0")/../res/icons"
command -v rsvg-convert >/dev/null || { echo "rsvg-convert not found: apt-get install librsvg2-bin" >&2; exit 1; }
for size in 16 32 48; do
  rsvg-convert --width "$size" --height "$size" sizewalk.svg --output "${size}x${size}/sizewalk.png"
  echo "${size}x${size}/sizewalk.png"
done
