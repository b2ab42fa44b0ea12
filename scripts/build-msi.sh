#!/usr/bin/env bash
# Builds the MSI from a signed Vornell.exe, its driver package and the signed
# custom-action DLL. The same inputs give the same bytes, whenever and
# wherever it runs.
#   scripts/build-msi.sh --exe PATH --package DIR --action-dll PATH --version X.Y.Z[.W] --out FILE
# DIR is the package's x64\driver folder, or a folder holding x64/driver.
# The MSI's version is the first three fields of VERSION. Times come from
# SOURCE_DATE_EPOCH, else from the last commit.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
python=/usr/bin/python3

exe="" package="" dll="" version="" out=""
while [ $# -gt 0 ]; do
  case "$1" in
    --exe) exe="$2"; shift 2 ;;
    --package) package="$2"; shift 2 ;;
    --action-dll) dll="$2"; shift 2 ;;
    --version) version="$2"; shift 2 ;;
    --out) out="$2"; shift 2 ;;
    *) echo "build-msi: unknown argument $1" >&2; exit 2 ;;
  esac
done
fail() { echo "build-msi: $*" >&2; exit 1; }
[ -n "$exe" ] && [ -n "$package" ] && [ -n "$dll" ] && [ -n "$version" ] && [ -n "$out" ] ||
  fail "usage: $0 --exe PATH --package DIR --action-dll PATH --version X.Y.Z[.W] --out FILE"
[ -f "$exe" ] || fail "no program at $exe"
[ -f "$dll" ] || fail "no custom-action DLL at $dll"
[ -d "$package/x64/driver" ] && package="$package/x64/driver"
[ -d "$package" ] || fail "no package folder at $package"
for tool in wixl msibuild msiinfo; do command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup.sh installs msitools and wixl)"; done

# Windows Installer reads three fields: major and minor up to 255, build up to 65535.
[[ "$version" =~ ^([0-9]+)\.([0-9]+)\.([0-9]+)(\.[0-9]+)?$ ]] || fail "version $version is not X.Y.Z[.W]"
major=$((10#${BASH_REMATCH[1]})) minor=$((10#${BASH_REMATCH[2]})) build=$((10#${BASH_REMATCH[3]}))
[ "$major" -le 255 ] && [ "$minor" -le 255 ] && [ "$build" -le 65535 ] ||
  fail "version $version is beyond what Windows Installer reads (255.255.65535)"
msi_version="$major.$minor.$build"

# Each release's three fields must rise above every other release's, or
# Windows Installer takes it for the same product version and upgrades nothing.
while read -r released; do
  [ -n "$released" ] && [ "$released" != "$version" ] || continue
  older=$(echo "$released" | cut -d. -f1-3)
  if [ "$(printf '%s\n%s\n' "$older" "$msi_version" | sort -V | tail -n1)" != "$msi_version" ] ||
     [ "$older" = "$msi_version" ]; then
    fail "version $version gives the MSI version $msi_version, which does not rise above the release $released ($older): raise one of the first three fields"
  fi
done < <(grep -v '^#' "$root/msi/released-versions" || true)

epoch="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || true)}"
[[ "$epoch" =~ ^[0-9]+$ ]] || fail "set SOURCE_DATE_EPOCH (no commit to take the time from)"

work=$(mktemp -d "${TMPDIR:-/tmp}/vornell-msi.XXXXXX")
trap 'rm -rf "$work"' EXIT
# The cabinet keeps each file's time: copies with one fixed time, in a
# folder whose name is the same in every build.
mkdir -p "$work/in/driver"
cp "$exe" "$work/in/Vornell.exe"
cp "$dll" "$work/in/VornellMsiAction.dll"
mapfile -t files < <(cd "$package" && find . -maxdepth 1 -type f -printf '%f\n' | LC_ALL=C sort)
[ ${#files[@]} -gt 0 ] || fail "the package folder $package holds no files"
for f in "${files[@]}"; do cp "$package/$f" "$work/in/driver/$f"; done
find "$work/in" -exec touch -h -d "@$epoch" {} +

# Names derived from fixed texts: the same in every build (a component keeps
# its GUID from version to version, a product code is one per version).
guid() { "$python" -c 'import sys, uuid; print(str(uuid.uuid5(uuid.UUID("82CE49A0-AA9A-435A-A195-170E997FB5E2"), sys.argv[1])).upper())' "$1"; }
product_code=$(guid "product $msi_version")
{
  echo '<Include>'
  i=0
  for f in "${files[@]}"; do
    i=$((i + 1))
    echo "  <Component Id=\"Package$i\" Guid=\"$(guid "package file ${f,,}")\" Win64=\"yes\">"
    echo "    <File Id=\"PackageFile$i\" Name=\"$f\" Source=\"in/driver/$f\" KeyPath=\"yes\"/>"
    echo '  </Component>'
  done
  echo '</Include>'
} >"$work/package.wxi"
{
  echo '<Include>'
  for i in $(seq 1 ${#files[@]}); do echo "  <ComponentRef Id=\"Package$i\"/>"; done
  echo '</Include>'
} >"$work/package-refs.wxi"

# wixl takes file names relative to the descriptor's folder only.
cp "$root/msi/vornell.wxs" "$work/vornell.wxs"
(cd "$work" && wixl -a x64 -I . \
  -D Version="$msi_version" -D ProductCode="$product_code" \
  -D ProgramComponent="$(guid 'component program')" -D OwnerComponent="$(guid 'component owner')" \
  -D Exe=in/Vornell.exe -D ActionDll=in/VornellMsiAction.dll \
  -o vornell.msi vornell.wxs)

# wixl writes a rollback action as an immediate one: a DLL from the Binary
# table (1), in the script (1024), on rollback only (256), as SYSTEM (2048).
msibuild "$work/vornell.msi" -q "UPDATE CustomAction SET Type = 3329 WHERE Action = 'RollbackVornell'"

# The package code: new for every different MSI, the same for the same one.
content=$(cd "$work/in" && find . -type f | LC_ALL=C sort | xargs sha256sum | sha256sum | cut -d' ' -f1)
package_code=$(guid "package $version $content $(sha256sum <"$root/msi/vornell.wxs" | cut -d' ' -f1)")
msibuild "$work/vornell.msi" -s "Orvane RX730TII Printer Driver" "Orvane" "x64;2052" "{$package_code}"
"$python" "$root/msi/summary_dates.py" "$work/vornell.msi" "$epoch"

# What must hold in every build, read back from the tables.
actions=$(msiinfo export "$work/vornell.msi" CustomAction)
sequence=$(msiinfo export "$work/vornell.msi" InstallExecuteSequence)
expect() { grep -qP "$2" <<<"$1" || fail "the built MSI lacks: $3"; }
expect "$actions" '^RollbackVornell\t3329\tVornellAction\tRollbackVornell' "a rollback action as SYSTEM"
expect "$actions" '^InstallVornell\t3073\tVornellAction\tInstallVornell' "a deferred install action as SYSTEM"
expect "$actions" '^RemoveVornell\t3073\tVornellAction\tRemoveVornell' "a deferred removal action as SYSTEM"
expect "$actions" '^SetInstallVornell\t51\tInstallVornell\t\[INSTALLDIR\]' "the program folder for the install action"
expect "$actions" '^RequestRestart\t1\tVornellAction\tRequestRestart' "an immediate restart action"
expect "$sequence" '^RemoveExistingProducts\t\t1510' "RemoveExistingProducts at 1510"
expect "$sequence" '^RemoveVornell\tREMOVE="ALL" AND NOT UPGRADINGPRODUCTCODE\t1611' "the removal only on a real removal"
expect "$sequence" '^RollbackVornell\tNOT REMOVE="ALL"\t6511' "the rollback before the install"
expect "$sequence" '^InstallVornell\tNOT REMOVE="ALL"\t6513' "the install after the files"
expect "$sequence" '^InstallFinalize\t\t6600' "InstallFinalize at 6600"

mkdir -p "$(dirname "$out")"
cp "$work/vornell.msi" "$out"
echo "build-msi: $out (MSI version $msi_version, product code {$product_code}, package code {$package_code})"
