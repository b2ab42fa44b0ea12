#!/usr/bin/env bash
# The MSI's life cycle under Wine, as msiexec runs it: an install over one
# of the program alone (one entry after), an upgrade that keeps the driver,
# the removal, and an install that fails while another Vornell holds the
# install lock and is rolled back. A Linux exit status keeps only the low
# byte of msiexec's code: 1603 reads 67, 3010 reads 194.
#   tests/wine/msi_lifecycle.sh WIN64_BUILD_DIR
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "$1" && pwd)
source "$root/scripts/wine-env.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/vornell-msi-test.XXXXXX")
prefix="$work/prefix"
cleanup() {
  WINEPREFIX="$prefix" "$VORNELL_WINESERVER" -k 2>/dev/null || true
  vornell_stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT
failures=0 checks=0
check() {  # check DESCRIPTION COMMAND...
  checks=$((checks + 1))
  if "${@:2}"; then echo "ok   $1"; else echo "FAIL $1"; failures=$((failures + 1)); fi
}
not() { ! "$@"; }

build_msi() {  # build_msi VERSION: prints the product code
  "$root/scripts/build-msi.sh" --exe "$build/Vornell.exe" --package "$root/tests/fixtures/package" \
    --action-dll "$build/VornellMsiAction.dll" --version "$1" --out "$prefix/drive_c/msi/Vornell-$1.msi" |
    sed -n 's/.*product code {\([^}]*\)}.*/\1/p'
}

vornell_fresh_prefix "$build" "$prefix"
export WINEPREFIX="$prefix"
vornell_start_xvfb
mkdir -p "$prefix/drive_c/vornell" "$prefix/drive_c/msi"
cp "$build/Vornell.exe" "$prefix/drive_c/vornell/"
cp -r "$root/tests/fixtures/package/x64" "$prefix/drive_c/vornell/"
old_code=$(build_msi 1.0.0.1) new_code=$(build_msi 1.0.1.0)
[ -n "$old_code" ] && [ -n "$new_code" ] || { echo "the MSIs could not be built"; exit 1; }

wine() { "$VORNELL_WINE" "$@"; }
msiexec() {  # msiexec ARGS...: its exit status (low byte)
  wine msiexec "$@" >/dev/null 2>&1
  local status=$?
  # Not while the wizard holds the lock: the server would wait for it too.
  [ -n "${wizard:-}" ] || "$VORNELL_WINESERVER" -w
  return $status
}
# What Wine 8's msiexec does differently from Windows is said, not checked.
note() { echo "note $1: $("${@:2}" && echo yes || echo no)"; }
key_exists() { wine reg query "$1" /reg:64 >/dev/null 2>&1; }
value_is() { wine reg query "$1" /v "$2" /reg:64 2>/dev/null | tr -d '\r' | grep -q "$2.*$3\$"; }
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
record='HKLM\Software\Orvane\Vornell'
program="$prefix/drive_c/Program Files/Orvane/Vornell"
stored_inf="$prefix/drive_c/windows/inf/RX730TP.INF"
logs="$prefix/drive_c/windows/logs"
msi_log() { iconv -f gbk -t utf-8 "$prefix/drive_c/$1" 2>/dev/null || cat "$prefix/drive_c/$1"; }

echo "== the program alone first"
wine 'C:\vornell\Vornell.exe' /quiet >/dev/null 2>&1; status=$?
"$VORNELL_WINESERVER" -w
check "Vornell.exe /quiet exits 0" test "$status" = 0
check "its own entry is there" key_exists "$uninstall_key\\Orvane.Vornell"
check "the record says the program owns the folder" value_is "$record" Owner Program

echo "== msiexec /i 1.0.0"
msiexec /i 'C:\msi\Vornell-1.0.0.1.msi' /qn /l*v 'C:\install.log'; status=$?
check "msiexec /i exits 0 (was $status)" test "$status" = 0
check "the MSI's product is registered" key_exists "$uninstall_key\\{$old_code}"
check "one entry: the program's own is gone" not key_exists "$uninstall_key\\Orvane.Vornell"
check "Windows Installer owns the folder" value_is "$record" Owner WindowsInstaller
check "the record names the stored INF" value_is "$record" StoredInf RX730TP.INF
check "the driver store holds the INF" test -f "$stored_inf"
check "the program and the package are in Program Files" test -f "$program/Vornell.exe" -a -f "$program/x64/driver/RX730TP.INF"
check "the MSI's log has the program's exit code" grep -q "Vornell install: exit code 0, success" <(msi_log install.log)
check "the program's log is in the Logs folder" grep -q "exit code: 0" "$logs/Vornell-msi-install.log"

echo "== msiexec /i 1.0.1 (a major upgrade)"
msiexec /i 'C:\msi\Vornell-1.0.1.0.msi' /qn /l*v 'C:\upgrade.log'; status=$?
check "msiexec /i of the higher version exits 0 (was $status)" test "$status" = 0
check "the older product is unregistered" not key_exists "$uninstall_key\\{$old_code}"
check "the newer product is registered" key_exists "$uninstall_key\\{$new_code}"
# Seen under Wine 8: the older MSI's removal action ran during the upgrade (the
# newer install put the driver back); Windows sets UPGRADINGPRODUCTCODE there.
note "the older MSI's removal ran the program's removal during the upgrade" test -e "$logs/Vornell-msi-removal.log"
rm -f "$logs/Vornell-msi-removal.log"
check "the driver stays in the store" test -f "$stored_inf"
check "the program stays" test -f "$program/Vornell.exe"
check "still one entry" not key_exists "$uninstall_key\\Orvane.Vornell"

echo "== msiexec /x"
msiexec /x 'C:\msi\Vornell-1.0.1.0.msi' /qn /l*v 'C:\remove.log'; status=$?
check "msiexec /x exits 0 (was $status)" test "$status" = 0
check "the product is unregistered" not key_exists "$uninstall_key\\{$new_code}"
check "the removal ran the program's removal" grep -q "exit code: 0" "$logs/Vornell-msi-removal.log"
check "the driver store's INF is gone" test ! -f "$stored_inf"
check "the program folder is gone" test ! -e "$program"
check "the install record is gone" not key_exists "$record"
check "no entry of ours" not key_exists "$uninstall_key\\Orvane.Vornell"
echo "left in Program Files\\Orvane: $(ls -A "$prefix/drive_c/Program Files/Orvane" 2>/dev/null | tr '\n' ' ')"
echo "left of HKLM\\Software\\Orvane: $(wine reg query 'HKLM\Software\Orvane' /s /reg:64 2>/dev/null | tr -d '\r' | tr '\n' ' ')"

echo "== msiexec /i while another Vornell holds the install lock"
wine 'C:\vornell\Vornell.exe' >/dev/null 2>&1 &
wizard=$!
for _ in $(seq 1 100); do grep -q "wizard" "$prefix/drive_c/users/root/Temp/Vornell.log" 2>/dev/null && break; sleep 0.2; done
sleep 2
msiexec /i 'C:\msi\Vornell-1.0.1.0.msi' /qn /l*v 'C:\failed.log'; status=$?
check "msiexec /i fails with 1603 (67 in the low byte; was $status)" test "$status" = 67
check "the MSI's log names the program's code" grep -q "exit code 1618, failure" <(msi_log failed.log)
check "the MSI's log names the failed step" grep -q "failed step: taking the install lock" <(msi_log failed.log)
# Seen under Wine 8: no rollback action runs (its msiexec keeps no rollback script).
note "the rollback action ran" test -f "$logs/Vornell-msi-rollback.log"
check "the product is not registered" not key_exists "$uninstall_key\\{$new_code}"
check "the program folder is rolled back" test ! -e "$program/Vornell.exe"
check "no install record is left" not value_is "$record" Owner WindowsInstaller
kill "$wizard" 2>/dev/null
"$VORNELL_WINESERVER" -k 2>/dev/null

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
