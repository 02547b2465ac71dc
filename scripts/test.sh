#!/usr/bin/env bash
# Builds everything and runs every test: the host tests, both cross builds with their Wine
# suites (x86_64 in a 64-bit prefix, i686 in a 32-bit one and in the 64-bit one) and the IP
# database fuzzer.
# Set WARDLET_SKIP_WIN32=1 to leave out the i686 Wine suite, WARDLET_FUZZ_SECONDS to change
# the fuzzing time (0 leaves it out).
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"

for tool in cmake ninja i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix wine Xvfb clang++ osslsigncode openssl mmdblookup zip unzip; do
  command -v "$tool" >/dev/null || { bash scripts/setup.sh || exit 1; break; }
done
[ -f /usr/src/googletest/CMakeLists.txt ] || bash scripts/setup.sh || exit 1

passed=0 failed=0 skipped=0
LOGS=$ROOT/build/test-logs
mkdir -p "$LOGS"

# Adds the counts of one GoogleTest run (its log) to the totals; a run that ended without its
# summary (a crash) counts as one failure.
count() {
  local log=$1 rc=$2 p f s
  p=$(grep -E '^\[  PASSED  \] [0-9]+ test' "$log" | tail -1 | grep -oE '[0-9]+' | head -1)
  f=$(grep -E '^\[  FAILED  \] [0-9]+ test' "$log" | tail -1 | grep -oE '[0-9]+' | head -1)
  s=$(grep -E '^\[  SKIPPED \] [0-9]+ test' "$log" | tail -1 | grep -oE '[0-9]+' | head -1)
  passed=$((passed + ${p:-0})); failed=$((failed + ${f:-0})); skipped=$((skipped + ${s:-0}))
  if [ -z "$p$f" ] || { [ "$rc" != 0 ] && [ -z "$f" ]; }; then
    echo "!! $log: the run ended without a complete summary (exit $rc)"
    failed=$((failed + 1))
  fi
}

build() {
  local preset=$1
  echo "== build $preset"
  cmake --preset "$preset" >"$LOGS/configure-$preset.log" 2>&1 || { cat "$LOGS/configure-$preset.log"; return 1; }
  cmake --build --preset "$preset" >"$LOGS/build-$preset.log" 2>&1 || { tail -60 "$LOGS/build-$preset.log"; return 1; }
}

[ -x scripts/fetch-qqwry.sh ] && { bash scripts/fetch-qqwry.sh || echo "QQwry.dat could not be fetched: the tests that need it will skip"; }
[ -x scripts/fetch-locations.sh ] && { bash scripts/fetch-locations.sh || echo "ipv6wry.db or the .mmdb file could not be fetched: the tests that need them will skip"; }

build host || exit 1
echo "== host tests"
./build/host/wardlet_host_tests >"$LOGS/host.log" 2>&1; rc=$?
grep -E '^\[  (FAILED|PASSED|SKIPPED) ' "$LOGS/host.log" | tail -20
count "$LOGS/host.log" $rc

build win64 || exit 1
build win32 || exit 1

source scripts/wine-env.sh
# run_wine_suite BUILD PREFIX: the Wine suite of build/BUILD in the prefix of PREFIX's kind.
run_wine_suite() {
  local build=$1 prefix=$2 log=$LOGS/wine-$1-in-$2.log
  echo "== Wine tests ($build build, $prefix prefix)"
  wine_env "$prefix"
  ( cd "build/$build" && timeout 1800 $WINE wardlet_tests.exe >"$log" 2>&1 </dev/null ); local rc=$?
  grep -E '^\[  (FAILED|PASSED|SKIPPED) |Failure|error:' "$log" | tail -40
  count "$log" $rc
  wineserver -k >/dev/null 2>&1 || true
}
run_wine_suite win64 win64
if [ "${WARDLET_SKIP_WIN32:-0}" != 1 ]; then
  run_wine_suite win32 win32
  run_wine_suite win32 win64   # the 32-bit program on 64-bit Windows
fi
wine_stop

# The release packages: each zip holds the program of its architecture, the readme and the licences.
check_packages() {
  # grep reads its input whole: with pipefail, an early exit (-q) would fail the writer with SIGPIPE.
  local dir=$LOGS/package version arch zip expected
  rm -rf "$dir"
  WARDLET_PACKAGE_DIR=$dir bash scripts/package.sh || return 1
  version=$(sed -n 's/^#define WARDLET_VERSION_[A-Z]* \([0-9][0-9]*\)$/\1/p' res/version.h | paste -sd.)
  for arch in win32 win64; do
    zip=$dir/wardlet-$version-$arch.zip
    expected=$(printf '%s\n' licenses/ licenses/GCC-runtime.txt licenses/GPL-3.txt licenses/MinGW-w64-runtime.txt \
               README.txt wardlet.exe | sed "s|^|wardlet-$version-$arch/|; 1i wardlet-$version-$arch/")
    [ "$(unzip -Z1 "$zip" | sort)" = "$(echo "$expected" | sort)" ] || { echo "$zip: unexpected files"; unzip -Z1 "$zip"; return 1; }
    unzip -p "$zip" "wardlet-$version-$arch/README.txt" | grep 'QQwry.dat.*wardlet.exe' >/dev/null || { echo "$zip: readme"; return 1; }
    unzip -p "$zip" "wardlet-$version-$arch/wardlet.exe" > "$dir/probe.exe"
    case $arch in win32) objdump -f "$dir/probe.exe" | grep 'pei-i386' >/dev/null ;; win64) objdump -f "$dir/probe.exe" | grep 'pei-x86-64' >/dev/null ;; esac ||
      { echo "$zip: not a $arch program"; return 1; }
    strings -el "$dir/probe.exe" | grep -x "$version" >/dev/null || { echo "$zip: the program's version is not $version"; return 1; }
  done
}
echo "== release packages"
if check_packages >"$LOGS/package.log" 2>&1; then passed=$((passed + 1)); tail -2 "$LOGS/package.log"
else failed=$((failed + 1)); tail -20 "$LOGS/package.log"; fi

if [ -x scripts/fuzz.sh ] && [ "${WARDLET_FUZZ_SECONDS:-60}" != 0 ]; then
  echo "== fuzzing the IP database reader"
  if bash scripts/fuzz.sh "${WARDLET_FUZZ_SECONDS:-60}" >"$LOGS/fuzz.log" 2>&1; then
    passed=$((passed + 1)); tail -3 "$LOGS/fuzz.log"
  else
    failed=$((failed + 1)); tail -40 "$LOGS/fuzz.log"
  fi
fi

echo "tests: $passed passed, $failed failed, $skipped skipped"
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
