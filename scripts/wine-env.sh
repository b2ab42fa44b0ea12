# Sourced by the Wine scripts: one private, prepared Wine prefix per build
# folder, a fresh copy of it for every run, and an X display to run on.
# Printers, staged files, INFs and devices persist in a prefix, hence the copies.

export WINEDEBUG="${WINEDEBUG:--all}"
export WINEARCH=win64
VORNELL_WINE=/usr/lib/wine/wine64
VORNELL_WINESERVER=/usr/lib/wine/wineserver
# The Chinese locale must be in force when the prefix is created, or the
# title bars show boxes; Wine's ANSI code page follows LC_CTYPE.
export LC_CTYPE="${VORNELL_LC_CTYPE:-zh_CN.UTF-8}"

# vornell_prepare_template BUILD_DIR: creates BUILD_DIR/wine/template once.
vornell_prepare_template() {
  local build="$1" template="$1/wine/template"
  mkdir -p "$build/wine"
  (
    flock 9
    [ -f "$template/.vornell-ready" ] && exit 0
    rm -rf "$template"
    echo "wine: preparing the prefix template (once per build folder)" >&2
    export WINEPREFIX="$template"
    # Whatever locale a run asks for, the prefix itself is made under the Chinese one.
    export LC_CTYPE=zh_CN.UTF-8
    # No mono/gecko installers: the program needs neither.
    WINEDLLOVERRIDES="mscoree,mshtml=" "$VORNELL_WINE" wineboot -i >/dev/null 2>&1
    "$VORNELL_WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    "$VORNELL_WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f >/dev/null 2>&1
    "$VORNELL_WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1024x768 /f >/dev/null 2>&1
    # Wine has neither of the header fonts the wizard asks for; a Chinese
    # Windows has both. Stand the CJK font in for them.
    for face in 微软雅黑 仿宋; do
      "$VORNELL_WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1
    done
    "$VORNELL_WINESERVER" -w
    touch "$template/.vornell-ready"
  ) 9>"$build/wine/.lock"
}

# vornell_fresh_prefix BUILD_DIR DEST: a fresh copy of the template in DEST.
vornell_fresh_prefix() {
  vornell_prepare_template "$1"
  rm -rf "$2"
  cp -a "$1/wine/template" "$2"
}

# vornell_start_xvfb: starts an Xvfb on a free display; sets DISPLAY and VORNELL_XVFB_PID.
vornell_start_xvfb() {
  local fifo dir display
  dir=$(mktemp -d)
  fifo="$dir/displayfd"
  mkfifo "$fifo"
  Xvfb -displayfd 7 -screen 0 1024x768x24 -nolisten tcp 7>"$fifo" >/dev/null 2>&1 &
  VORNELL_XVFB_PID=$!
  # Xvfb writes the number and the newline separately: read the whole line
  # before the pipe closes, or Xvfb can die at start-up on a loaded machine.
  read -r display <"$fifo"
  rm -rf "$dir"
  export DISPLAY=":$display"
}

vornell_stop_xvfb() {
  [ -n "${VORNELL_XVFB_PID:-}" ] && kill "$VORNELL_XVFB_PID" 2>/dev/null && wait "$VORNELL_XVFB_PID" 2>/dev/null
  VORNELL_XVFB_PID=""
}
