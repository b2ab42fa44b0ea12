#!/usr/bin/env bash
# Builds Vornell for Windows and for Linux and runs every test: the native
# unit tests under AddressSanitizer and UBSan, bounded runs of the fuzz
# targets, and the Wine tests against the real Vornell.exe, one at a time.
# Ends with CTest's summary line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh

echo "== building the Windows program (build/win64)"
cmake --preset win64 >/dev/null
cmake --build --preset win64
echo "== building the fuzz targets (build/fuzz, clang)"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
echo "== building the native tests (build/native)"
cmake --preset native >/dev/null
cmake --build --preset native

echo "== running the tests"
ctest --preset all --timeout 1200 "$@"
