#!/usr/bin/env bash
# Makes the release in dist/ from a clean copy of the source tree:
#   Vornell.exe            signed and time-stamped when a key is given (scripts/signing.sh)
#   x64/driver/            the driver package the program was built for, as it was read
#   Vornell-<v>-x64.msi    built from the signed program, then signed
#   Vornell-<v>-x64.zip    the program and the package
#   SHA256SUMS             of every other file in dist/
#
#   scripts/release.sh [--out DIR] [--package DIR] [--work DIR] [--allow-dirty]
#
# --package names the real driver package (default: the sample one); --work
# keeps the build there (default: a temporary folder, removed); --allow-dirty
# takes uncommitted changes along, for a trial release. SOURCE_DATE_EPOCH, when
# not set, is the commit's time: two releases of one commit are the same bytes
# before they are signed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/dist"
package="$root/tests/fixtures/package/x64/driver"
work=""
allow_dirty=0
while [ $# -gt 0 ]; do
  case "$1" in
    --out) out=$(realpath -m "$2"); shift 2 ;;
    --package) package=$(realpath "$2"); shift 2 ;;
    --work) work=$(realpath -m "$2"); shift 2 ;;
    --allow-dirty) allow_dirty=1; shift ;;
    *) sed -n '2,16s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
  esac
done
source "$root/scripts/signing.sh"

version=$(sed -n 's/^#define VORNELL_VERSION_TEXT "\([0-9.]*\)"$/\1/p' "$root/res/version.h")
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "release: no version in res/version.h" >&2; exit 1; }
# Before the build, so that a key named wrongly costs no build.
mode=$(signing_mode)
[ -d "$package" ] || { echo "release: no package folder $package" >&2; exit 1; }

cd "$root"
if [ -n "$(git status --porcelain)" ] && [ "$allow_dirty" -eq 0 ]; then
  echo "release: the tree has uncommitted changes (commit them, or --allow-dirty for a trial)" >&2
  exit 1
fi
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}"

if [ -z "$work" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
# The files git knows of, as they are, and nothing the tree holds besides
# (no build folder, no stray output): what a fresh clone would hold.
tree="$work/vornell-$version"
rm -rf "$tree"
mkdir -p "$tree"
git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
  tar -cf - --null -T - | tar -xf - -C "$tree"

echo "== building Vornell $version in $tree"
(cd "$tree" && cmake --preset win64 -DVORNELL_PACKAGE_DIR="$package" >/dev/null)
targets=(Vornell)
# The MSI step runs once the tree has the MSI's script and custom action.
msi_script="$tree/scripts/build-msi.sh"
[ ! -x "$msi_script" ] || targets+=(VornellMsiAction)
(cd "$tree" && cmake --build --preset win64 -j2 --target "${targets[@]}")
build="$tree/build/win64"
tests/package/check_imports.sh "$build/Vornell.exe" >/dev/null ||
  { echo "release: Vornell.exe imports DLLs that are not system DLLs" >&2; exit 1; }

rm -rf "$out"
mkdir -p "$out/x64/driver"
cp "$build/Vornell.exe" "$out/"
# The package's files as the build read them (its manifest names no
# subfolder): the program refuses any other bytes.
for f in "$package"/*; do
  [ -f "$f" ] || continue
  cp "$f" "$out/x64/driver/"
  cmp -s "$f" "$out/x64/driver/${f##*/}" || { echo "release: the copy of ${f##*/} differs" >&2; exit 1; }
done

sign_file "$out/Vornell.exe"
msi="Vornell-$version-x64.msi"
if [ -x "$msi_script" ]; then
  action="$work/VornellMsiAction.dll"
  cp "$build/VornellMsiAction.dll" "$action"
  sign_file "$action"
  "$msi_script" --exe "$out/Vornell.exe" --package "$out/x64/driver" --action-dll "$action" \
    --version "${version%.*}" --out "$out/$msi"
  sign_file "$out/$msi"
fi

# Same bytes for the same inputs: fixed times, order and modes.
python3 - "$out" "Vornell-$version-x64.zip" <<'EOF'
import os, sys, time, zipfile
out, name = sys.argv[1], sys.argv[2]
stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]
files = ["Vornell.exe"] + sorted("x64/driver/" + f for f in os.listdir(os.path.join(out, "x64/driver")))
with zipfile.ZipFile(os.path.join(out, name), "w") as z:
    for f in files:
        info = zipfile.ZipInfo(f, date_time=stamp)
        info.create_system = 3
        info.external_attr = 0o644 << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        with open(os.path.join(out, f), "rb") as data:
            z.writestr(info, data.read())
EOF

(cd "$out" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort |
  xargs -d '\n' sha256sum >SHA256SUMS)

echo "== release $version in $out"
(cd "$out" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | xargs -d '\n' stat -c '%10s  %n')
case "$mode" in
  none) echo "UNSIGNED: no signing key was given (VORNELL_SIGN_PKCS12, VORNELL_SIGN_PKCS11_MODULE or VORNELL_SIGN_COMMAND)" ;;
  *) echo "signed ($mode) and time-stamped by $VORNELL_TIMESTAMP_URL" ;;
esac
