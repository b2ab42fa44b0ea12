#!/usr/bin/env bash
# Makes the README's pictures of the wizard in docs/: walks through the pages
# on an Xvfb (scripts/run.sh --walk, which photographs each one) and keeps a
# smaller copy of each, without the time stamps PNG files carry, so that an
# unchanged page gives an unchanged file.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
shots="$root/build/win64/screenshots"
rm -f "$shots"/walk-*.png
env -u DISPLAY scripts/run.sh --walk

mkdir -p docs
# walk screenshot -> picture in docs/
pages=(walk-1-license:license walk-2-retry:retry walk-3-connection:connection walk-4-install:install
       walk-5-success:success walk-1-license-highcontrast:high-contrast
       walk-6-uninstall-question:uninstall-question)
for page in "${pages[@]}"; do
  shot="$shots/${page%%:*}.png"
  [ -f "$shot" ] || { echo "readme-images: the walk made no ${shot##*/}" >&2; exit 1; }
  /usr/bin/convert "$shot" -resize 75% -strip -colors 256 -define png:exclude-chunks=date,time \
    "PNG8:docs/wizard-${page##*:}.png"
  echo "docs/wizard-${page##*:}.png"
done
