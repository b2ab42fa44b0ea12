#!/usr/bin/env bash
# Runs the Vornell wizard under Wine with the sample driver package beside it
# and an Orvane RX730TⅡ attached to Wine's device registry. On a desktop
# (DISPLAY set) the wizard opens for you to click through; without a display
# it walks through every page by itself on an Xvfb and saves a screenshot of
# each page in build/win64/screenshots/walk-*.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
cmake --preset win64 >/dev/null
# Only what it runs: the program and the demo that drives it.
cmake --build --preset win64 --target Vornell vornell_demo

build="$root/build/win64"
mode=--walk
xvfb=--xvfb
if [ -n "${DISPLAY:-}" ] && [ "${1:-}" != "--walk" ]; then
  mode=--interactive
  xvfb=""
fi
shots="$build/screenshots"
mkdir -p "$shots"
export VORNELL_SHOTS="Z:${shots//\//\\}"
setup="mkdir -p \"\$WINEPREFIX/drive_c/vornell\" && cp '$build/Vornell.exe' \"\$WINEPREFIX/drive_c/vornell/\" && cp -r '$root/tests/fixtures/package/x64' \"\$WINEPREFIX/drive_c/vornell/\""
status=0
scripts/wine-run.sh --build "$build" $xvfb --setup "$setup" "$build/tests/wine/demo/vornell_demo.exe" "$mode" || status=$?
for bmp in "$shots"/*.bmp; do
  [ -e "$bmp" ] || continue
  /usr/bin/convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
[ "$mode" = --interactive ] || echo "screenshots: $(ls "$shots"/walk-*.png 2>/dev/null | tr '\n' ' ')"
exit $status
