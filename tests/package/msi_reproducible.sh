#!/usr/bin/env bash
# Two builds of the MSI from the same inputs, a few seconds and a touch of
# the inputs apart, give the same bytes; and a version whose first three
# fields do not rise above a release is refused.
#   tests/package/msi_reproducible.sh WIN64_BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
work=$(mktemp -d)
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}"
trap 'rm -rf "$work"' EXIT
cp "$build/Vornell.exe" "$build/VornellMsiAction.dll" "$work/"
args=(--exe "$work/Vornell.exe" --package "$root/tests/fixtures/package" --action-dll "$work/VornellMsiAction.dll")
"$root/scripts/build-msi.sh" "${args[@]}" --version 1.0.0.1 --out "$work/first.msi"
sleep 2
touch "$work/Vornell.exe" "$work/VornellMsiAction.dll"
"$root/scripts/build-msi.sh" "${args[@]}" --version 1.0.0.1 --out "$work/second.msi"
cmp "$work/first.msi" "$work/second.msi"
echo "same bytes: $(sha256sum <"$work/first.msi" | cut -d' ' -f1)"

# A changed input is a different package: another package code.
echo changed >>"$work/Vornell.exe"
"$root/scripts/build-msi.sh" "${args[@]}" --version 1.0.0.1 --out "$work/third.msi" >"$work/third.out"
! cmp -s "$work/first.msi" "$work/third.msi" || { echo "a changed program gave the same MSI"; exit 1; }

# 1.0.0.2 after a release of 1.0.0.1 is the same MSI version: refused.
cp -r "$root/msi" "$root/scripts" "$work/"
echo 1.0.0.1 >>"$work/msi/released-versions"
if "$work/scripts/build-msi.sh" "${args[@]}" --version 1.0.0.2 --out "$work/refused.msi" 2>"$work/refused.err"; then
  echo "1.0.0.2 was built after a release of 1.0.0.1"; exit 1
fi
grep -q "does not rise above the release 1.0.0.1" "$work/refused.err"
"$work/scripts/build-msi.sh" "${args[@]}" --version 1.0.1.0 --out "$work/risen.msi" >/dev/null
echo "1 passed, 0 failed"
