#!/usr/bin/env bash
# Measures the real Vornell.exe under Wine and prints one markdown table:
# start-up against a minimal rich-edit dialog, the install step's overhead
# over its required pauses, WM_NULL round trips while it works, memory, size
# and imports, and the machine. Figures only: nothing here fails on a time.
#   scripts/bench.sh [BUILD_DIR]    (default build/win64, which it builds first)
# VORNELL_BENCH_RUNS sets the install runs (default 5, a fresh prefix each),
# VORNELL_BENCH_STARTUP_RUNS the start-ups of each program (default 15, one prefix).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build="${1:-$root/build/win64}"
runs="${VORNELL_BENCH_RUNS:-5}"
startup_runs="${VORNELL_BENCH_STARTUP_RUNS:-15}"

# Progress and build output go to stderr; stdout is the table alone.
"$here/setup.sh" >&2
if [ "$(realpath -m "$build")" = "$(realpath -m "$root/build/win64")" ]; then
  (cd "$root" && cmake --preset win64 && cmake --build --preset win64) >&2
elif [ -f "$build/CMakeCache.txt" ]; then
  cmake --build "$build" -j2 --target Vornell vornell_bench vornell_baseline >&2
fi
build=$(cd "$build" && pwd)
source "$here/wine-env.sh"

# Other work on the machine spreads the figures: say how busy it was.
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

bench="$build/tests/wine/bench/vornell_bench.exe"
baseline="$build/tests/wine/bench/vornell_baseline.exe"
for f in "$build/Vornell.exe" "$bench" "$baseline"; do
  [ -f "$f" ] || { echo "bench: no $f; build the Windows programs first" >&2; exit 1; }
done

# What scripts/wine-test.sh puts in C:\vornell, and the baseline beside it.
setup="mkdir -p \"\$WINEPREFIX/drive_c/vornell\" && cp '$build/Vornell.exe' '$baseline' \"\$WINEPREFIX/drive_c/vornell/\" && cp -r '$root/tests/fixtures/package/x64' \"\$WINEPREFIX/drive_c/vornell/\""

work="$build/bench"
mkdir -p "$work"
rows="$work/rows.md"
: >"$rows"

# Runs the bench program in a fresh prefix; table rows are kept, the rest
# goes to stderr as progress.
run_bench() {
  local out="$work/last-run.txt"
  if ! "$here/wine-run.sh" --build "$build" --xvfb --setup "$setup" "$bench" "$@" >"$out" 2>&1; then
    cat "$out" >&2
    echo "bench: vornell_bench $* failed" >&2
    exit 1
  fi
  grep -v '^|' "$out" >&2 || true
}

echo "bench: start-up, $startup_runs runs each (one prefix)" >&2
run_bench startup "$startup_runs"
grep '^|' "$work/last-run.txt" >>"$rows"

# Staged files and the printer queue persist in a prefix: a fresh one per run.
# Each run adds its raw figures to the history and prints the summary of all.
repeated_runs() {  # KIND WHAT
  local history="$work/$1-history.txt"
  rm -f "$history"
  for i in $(seq "$runs"); do
    echo "bench: $2 run $i of $runs (fresh prefix)" >&2
    run_bench "$1" "Z:${history//\//\\}"
  done
  grep '^|' "$work/last-run.txt" >>"$rows"
}
repeated_runs install install
repeated_runs quiet "unattended install"

size() { stat -c %s "$1" | awk '{ printf "%.2f MB (%d bytes)", $1 / 1048576, $1 }'; }
imports=$(x86_64-w64-mingw32-objdump -p "$build/Vornell.exe" | awk '/DLL Name:/ { print $3 }' | paste -sd, - | sed 's/,/, /g')
import_count=$(x86_64-w64-mingw32-objdump -p "$build/Vornell.exe" | grep -c 'DLL Name:')
{
  echo "| Size of Vornell.exe (static C++ runtime) | $(size "$build/Vornell.exe") | | |"
  echo "| Size of the baseline program (same link) | $(size "$baseline") | | |"
  echo "| DLLs Vornell.exe imports (all system DLLs) | $imports | $import_count DLLs | |"
} >>"$rows"

cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
memory=$(awk '/^MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)
wine_version=$("$VORNELL_WINE" --version 2>/dev/null || echo unknown)
commit=$(git -C "$root" describe --always --dirty 2>/dev/null || echo unknown)

echo
echo "| Figure | Median / value | Spread (min – max) / detail | n |"
echo "|---|---|---|---|"
cat "$rows"
echo "| Machine: CPU | ${cpu:-unknown} | $(nproc) logical CPUs | |"
echo "| Machine: memory | $memory | | |"
echo "| Machine: load average (1, 5, 15 min) | $load_before before | $(cut -d' ' -f1-3 /proc/loadavg) after | |"
echo "| Machine: Wine | $wine_version | $(uname -sr), Xvfb 1024×768×24 | |"
echo "| Build | commit $commit | $(basename "$build"), mingw-w64 Release | |"
