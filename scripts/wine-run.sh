#!/usr/bin/env bash
# Runs a Windows program in a fresh copy of the build folder's Wine prefix,
# on the user's display, or on an Xvfb of its own when there is none (or with --xvfb).
#   scripts/wine-run.sh [--build DIR] [--xvfb] [--keep DIR] [--setup CMD] PROGRAM [ARGS...]
# --setup CMD runs (in bash, with WINEPREFIX set) before the program, e.g. to copy files in.
# The program's exit code is the script's.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh"

build="$here/../build/win64"
use_xvfb=0
keep=""
setup=""
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build="$2"; shift 2 ;;
    --xvfb) use_xvfb=1; shift ;;
    --keep) keep="$2"; shift 2 ;;
    --setup) setup="$2"; shift 2 ;;
    *) break ;;
  esac
done
[ $# -ge 1 ] || { echo "usage: $0 [--build DIR] [--xvfb] [--keep DIR] [--setup CMD] PROGRAM [ARGS...]" >&2; exit 2; }
build=$(cd "$build" && pwd)

if [ -n "$keep" ]; then
  prefix="$keep"
else
  prefix=$(mktemp -d "${TMPDIR:-/tmp}/vornell-prefix.XXXXXX")
fi
cleanup() {
  WINEPREFIX="$prefix" "$VORNELL_WINESERVER" -k 2>/dev/null || true
  vornell_stop_xvfb
  [ -n "$keep" ] || rm -rf "$prefix"
}
trap cleanup EXIT
vornell_fresh_prefix "$build" "$prefix"
export WINEPREFIX="$prefix"

if [ "$use_xvfb" = 1 ] || [ -z "${DISPLAY:-}" ]; then
  vornell_start_xvfb
fi

[ -z "$setup" ] || bash -c "$setup"

set +e
"$VORNELL_WINE" "$@"
status=$?
set -e
"$VORNELL_WINESERVER" -w 2>/dev/null || true
exit $status
