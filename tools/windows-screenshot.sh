#!/usr/bin/env bash
# Takes docs/screenshot-windows.png: sizewalk.exe under Wine, on a Wine
# desktop in Xvfb, after the GUI driver has filled and expanded its tree.
# Run after the Windows build (see README); needs xvfb-run and ImageMagick.
#   tools/windows-screenshot.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build-win}")
for f in app/win32/sizewalk.exe tests/win32/gui_driver_win32.exe; do
  [ -f "$build/$f" ] || { echo "$build/$f missing: build the Windows program first" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
out=$PWD/docs/screenshot-windows.png
mkdir -p docs

export SIZEWALK_SCREENSHOT_DIR="Z:${work//\//\\}"
export build work out
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash -c '
  # Wine draws the window frame itself on a desktop of its own.
  bash tests/win32/run-under-wine.sh "$build/wine" explorer /desktop=Sizewalk,560x480 \
    "$build/tests/win32/gui_driver_win32.exe" "$build/app/win32/sizewalk.exe" \
    --gtest_filter="*OkFillsTheTree*" > "$work/driver.log" 2>&1 &
  driver=$!
  for _ in $(seq 600); do [ -f "$work/ready" ] && break; sleep 0.1; done
  [ -f "$work/ready" ] || { echo "the driver never filled the tree" >&2; cat "$work/driver.log" >&2; kill "$driver"; exit 1; }
  sleep 1  # let the last paint land
  import -window root -crop 560x480+0+0 +repage "$out"
  touch "$work/done"
  wait "$driver" || { cat "$work/driver.log" >&2; exit 1; }
'
echo "$out"
