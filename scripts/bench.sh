#!/usr/bin/env bash
# Builds and runs the benchmarks: the host ones natively, the Wine ones in the x86_64 prefix
# (WARDLET_ARCH=win32 for the i686 build). Each prints its figures and ratios.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
ARCH=${WARDLET_ARCH:-win64}
command -v wine >/dev/null && command -v x86_64-w64-mingw32-g++-posix >/dev/null || bash scripts/setup.sh
bash scripts/fetch-qqwry.sh || echo "QQwry.dat could not be fetched: the database benchmark will skip"

cmake --preset host >/dev/null && cmake --build --preset host >/dev/null || exit 1
cmake --preset "$ARCH" >/dev/null && cmake --build --preset "$ARCH" >/dev/null || exit 1
mkdir -p build/bench-logs

for exe in build/host/bench_*; do
  [ -x "$exe" ] || continue
  echo "== $(basename "$exe")"
  "$exe"
done

source scripts/wine-env.sh
wine_env "$ARCH"
for exe in "build/$ARCH"/bench_*.exe; do
  [ -f "$exe" ] || continue
  name=$(basename "$exe" .exe)
  echo "== $name ($ARCH)"
  args=()
  [ "$name" = bench_report ] && args=("${WARDLET_REPORT_SOCKETS:-5000}")
  ( cd "build/$ARCH" && $WINE "$name.exe" "${args[@]}" >"$ROOT/build/bench-logs/$name.log" 2>&1 </dev/null )
  grep -v -E '^[0-9a-f]{4}:(err|fixme|warn)' "build/bench-logs/$name.log"
done

# A query about another program's window or process is a round trip to the wineserver. Where the
# program and the server wake each other across processors (as on a virtual machine) each trip
# costs several times more and swings threefold from run to run; so the window and process lists,
# made of such trips, are also measured with the server and the program on one processor.
if command -v taskset >/dev/null; then
  for pid in $(pgrep wineserver); do taskset -a -p -c 0 "$pid" >/dev/null; done
  for name in bench_window bench_process; do
    [ -f "build/$ARCH/$name.exe" ] || continue
    echo "== $name ($ARCH, wineserver and program on one processor)"
    ( cd "build/$ARCH" && taskset -c 0 $WINE "$name.exe" >"$ROOT/build/bench-logs/$name-one-cpu.log" 2>&1 </dev/null )
    grep -v -E '^[0-9a-f]{4}:(err|fixme|warn)' "build/bench-logs/$name-one-cpu.log"
  done
fi
wine_stop
