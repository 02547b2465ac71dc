#!/usr/bin/env bash
# Builds Wardlet and starts it under Wine. With a display it opens the window there; without one
# it starts Xvfb, shows every tab in turn and saves a screenshot of each under
# build/screenshots/. WARDLET_ARCH=win64 runs the x86_64 build (default: win32, the i686 build).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
ARCH=${WARDLET_ARCH:-win32}

for tool in cmake ninja i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix wine Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { bash scripts/setup.sh; break; }
done

cmake --preset "$ARCH" >/dev/null
cmake --build --preset "$ARCH"
if bash scripts/fetch-qqwry.sh && [ -f build/data/QQwry.dat ]; then
  cp build/data/QQwry.dat "build/$ARCH/QQwry.dat"
else
  echo "QQwry.dat could not be fetched: the port page will ask for it"
fi
if bash scripts/fetch-locations.sh; then
  cp build/data/ipv6wry.db build/data/geo-whois-asn-country.mmdb "build/$ARCH/"
else
  echo "the IPv6 and MaxMind location databases could not be fetched: IPv6 rows show no location"
fi

headless=1
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then headless=0; fi
source scripts/wine-env.sh
wine_env "$ARCH"

if [ "$headless" = 0 ]; then
  cd "build/$ARCH" && exec $WINE wardlet.exe
fi

shots=$ROOT/build/screenshots
mkdir -p "$shots"
( cd "build/$ARCH" && $WINE wardlet.exe >/dev/null 2>&1 </dev/null & )
win=""
for i in $(seq 100); do
  win=$(xdotool search --name '^Wardlet$' 2>/dev/null | head -1) && [ -n "$win" ] && break
  sleep 0.2
done
[ -n "$win" ] || { echo "the Wardlet window did not appear"; wine_stop; exit 1; }
sleep 3  # the window fades in over two seconds
labels=(process window service autorun ifeo port)
for i in 0 1 2 3 4 5; do
  if [ "$i" -gt 0 ]; then
    xdotool key --window "$win" Right
    sleep 4
  fi
  # The port page may show its message about QQwry.dat first: take it in the shot, then close it.
  import -window root "$shots/tab-$i-${labels[$i]}.png"
  if [ "$i" = 5 ]; then
    box=$(xdotool search --name '^提示$' 2>/dev/null | head -1 || true)
    if [ -n "$box" ]; then xdotool key --window "$box" Return; sleep 2; import -window root "$shots/tab-5-port-list.png"; fi
  fi
  echo "saved $shots/tab-$i-${labels[$i]}.png"
done
xdotool key --window "$win" Escape 2>/dev/null || true
sleep 1
wine_stop
