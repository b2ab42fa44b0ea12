#!/usr/bin/env bash
# Runs one Wine test program: a fresh prefix copy holding Vornell.exe and the
# sample package in C:\vornell, an Xvfb of its own; screenshots land as PNG
# files in BUILD/screenshots.
#   scripts/wine-test.sh WIN64_BUILD_DIR TEST_NAME [ARGS...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=$(cd "$1" && pwd)
name="$2"
shift 2
program="$build/tests/wine/$name.exe"
[ -f "$program" ] || { echo "no $program: build the win64 preset first" >&2; exit 1; }
[ -f "$build/Vornell.exe" ] || { echo "no $build/Vornell.exe" >&2; exit 1; }

shots="$build/screenshots"
mkdir -p "$shots"
export VORNELL_SHOTS="Z:${shots//\//\\}"
export VORNELL_BUILD="Z:${build//\//\\}"

setup="mkdir -p \"\$WINEPREFIX/drive_c/vornell\" && cp '$build/Vornell.exe' \"\$WINEPREFIX/drive_c/vornell/\" && cp -r '$root/tests/fixtures/package/x64' \"\$WINEPREFIX/drive_c/vornell/\""
[ -z "${VORNELL_TEST_SETUP:-}" ] || setup="$setup && $VORNELL_TEST_SETUP"

set +e
"$here/wine-run.sh" --build "$build" --xvfb --setup "$setup" "$program" "$@"
status=$?
set -e

# PNG files are what people look at; the test programs write BMP.
for bmp in "$shots"/*.bmp; do
  [ -e "$bmp" ] || continue
  /usr/bin/convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
exit $status
