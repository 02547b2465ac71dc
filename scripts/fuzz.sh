#!/usr/bin/env bash
# Builds the database-reader fuzz target with clang's libFuzzer and the address
# and undefined-behaviour sanitizers into build/fuzz/, then runs it for a
# bounded time over a copy of fuzz/corpus/ipdb. Exits non-zero on any finding.
# Usage: scripts/fuzz.sh [seconds]   (default 60)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
out="$root/build/fuzz"
mkdir -p "$out"

clang++ -std=c++20 -O1 -g -fno-omit-frame-pointer \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$root" "$root"/ipdb/*.cpp "$root/fuzz/ipdb_fuzz.cpp" -o "$out/ipdb_fuzz"

rm -rf "$out/corpus"
cp -r "$root/fuzz/corpus/ipdb" "$out/corpus"
rm -f "$out"/crash-* "$out"/leak-* "$out"/timeout-* "$out"/oom-*

echo "fuzz: running ipdb_fuzz for ${seconds}s"
status=0
"$out/ipdb_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$out/" "$out/corpus" || status=$?
if [ "$status" -ne 0 ] || compgen -G "$out/crash-*" >/dev/null || compgen -G "$out/leak-*" >/dev/null \
   || compgen -G "$out/timeout-*" >/dev/null || compgen -G "$out/oom-*" >/dev/null; then
  echo "fuzz: ipdb_fuzz found a fault (exit $status); inputs are in $out/" >&2
  exit 1
fi
echo "fuzz: no findings"
