#!/usr/bin/env bash
# Vornell.exe must be one self-contained file: a 64-bit GUI program whose
# imports are all DLLs that every Windows has. A runtime DLL of the toolchain
# (libstdc++, libgcc, winpthread) would make it fail on a clean machine.
# Only DLLs on Windows' KnownDLLs list may be imported: Windows takes any
# other import from the program's own folder (a download folder) before the
# program can restrict where DLLs come from; those are loaded at run time.
#   tests/package/check_imports.sh PATH/TO/Vornell.exe
set -euo pipefail
exe="$1"
dump=$(x86_64-w64-mingw32-objdump -p "$exe")

is_system_dll() {
  case "$1" in
    kernel32.dll | user32.dll | gdi32.dll | msvcrt.dll | setupapi.dll | advapi32.dll | shell32.dll) return 0 ;;
    *) return 1 ;;
  esac
}
failures=0
grep -q 'file format pei-x86-64' <<<"$dump" || { echo "not a 64-bit PE program"; failures=$((failures + 1)); }
grep -Eq '^Subsystem[[:space:]]+0*2[[:space:]]' <<<"$dump" || { echo "not a GUI program (subsystem 2)"; failures=$((failures + 1)); }

# Windows 7 (6.1) as the image's OS and subsystem version, not the linker's 4.0 and 5.2.
for field in MajorOSystemVersion:6 MinorOSystemVersion:1 MajorSubsystemVersion:6 MinorSubsystemVersion:1; do
  grep -Eq "^${field%%:*}[[:space:]]+${field##*:}\$" <<<"$dump" || { echo "not ${field%%:*} ${field##*:}"; failures=$((failures + 1)); }
done

imports=$(awk '/DLL Name:/ {print tolower($3)}' <<<"$dump")
[ -n "$imports" ] || { echo "no imports found"; failures=$((failures + 1)); }
for dll in $imports; do
  if is_system_dll "$dll"; then
    echo "ok   $dll"
  else
    echo "NOT A KNOWN DLL: $dll"
    failures=$((failures + 1))
  fi
done
echo "$(wc -w <<<"$imports") imports, $failures problems"
[ "$failures" -eq 0 ]
