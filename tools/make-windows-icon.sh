#!/usr/bin/env bash
# Builds res/sizewalk.ico, the Windows program's icon, from the committed PNG
# artwork: 16 and 32 px in 16 colours, 48 px in 256 colours, each with a
# one-bit transparency mask. Run after changing the PNGs and commit the result.
# Needs ImageMagick (convert) and icoutils (icotool).
set -euo pipefail
cd "$(dirname "$0")/../res"
for tool in convert icotool; do
  command -v "$tool" >/dev/null || { echo "$tool not found: apt-get install imagemagick icoutils" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The mask is one bit: cut alpha at half. The palette keeps one slot for the
# transparent colour, so 15 and 255 colours are left for the picture.
quantize() {  # SIZE COLOURS
  convert "icons/$1x$1/sizewalk.png" -channel A -threshold 50% +channel \
          -dither None -colors "$2" "PNG8:$work/$1.png"
}
quantize 16 15
quantize 32 15
quantize 48 255
icotool --create --output=sizewalk.ico \
  --bit-depth=4 "$work/16.png" --bit-depth=4 "$work/32.png" --bit-depth=8 "$work/48.png"
icotool --list sizewalk.ico
