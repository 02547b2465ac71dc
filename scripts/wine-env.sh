# Sourced by the run, test and bench scripts: a Wine prefix of the project's own under build/,
# an X display (Xvfb when none is given), and one wineserver kept alive for the whole run.
#   wine_env ARCH   (ARCH is win32 or win64) sets WINEPREFIX, WINEARCH, DISPLAY and WINE.

ROOT=${ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=${WINEDEBUG:--all}

start_xvfb() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  # A display another run takes at the same moment makes this Xvfb exit: then try the next one,
  # so that no two runs ever share a screen (and a screenshot shows another run's windows).
  local n i
  for n in $(seq 91 189); do
    if [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; then continue; fi
    Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    for i in $(seq 50); do
      kill -0 "$XVFB_PID" 2>/dev/null || break
      if DISPLAY=:$n xdpyinfo >/dev/null 2>&1; then
        sleep 0.3  # a loser of the race answers through the winner until it has exited
        kill -0 "$XVFB_PID" 2>/dev/null && { export DISPLAY=:$n; return 0; }
        break
      fi
      sleep 0.1
    done
    kill "$XVFB_PID" 2>/dev/null
  done
  echo "Xvfb did not start" >&2
  return 1
}

wine_env() {
  local arch=$1
  if [ "$arch" = win32 ]; then
    export WINEARCH=win32
    export WINEPREFIX=$ROOT/build/wine32-prefix
    WINE=wine
  else
    export WINEARCH=win64
    export WINEPREFIX=$ROOT/build/wine64-prefix
    WINE=wine
    command -v wine64 >/dev/null && [ ! -x /usr/lib/wine/wine ] && WINE=wine64
  fi
  start_xvfb
  if [ ! -f "$WINEPREFIX/.wardlet-ready" ]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    $WINE wineboot -i >/dev/null 2>&1 || true
    # No window manager under Xvfb: Wine manages its own windows. Chinese dialog font "宋体".
    local reg=$ROOT/build/wardlet-prefix.reg
    printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
      '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' '"Decorated"="N"' '' \
      '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
      '"宋体"="WenQuanYi Zen Hei"' '"SimSun"="WenQuanYi Zen Hei"' '"NSimSun"="WenQuanYi Zen Hei"' \
      '"MS Shell Dlg"="WenQuanYi Zen Hei"' '"Tahoma"="WenQuanYi Zen Hei"' '' \
      | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } > "$reg"
    $WINE regedit /S "$(winepath_w "$reg")" >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.wardlet-ready"
  fi
  # Keep one wineserver alive for the run, and start Wine's own services now with their output
  # detached, so that they do not hold the pipes of the programs started later.
  wineserver -p >/dev/null 2>&1 </dev/null || true
  $WINE wineboot >/dev/null 2>&1 </dev/null || true
}

winepath_w() { echo "Z:${1//\//\\}"; }

wine_stop() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
}
