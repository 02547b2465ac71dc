#!/usr/bin/env bash
# Builds the database readers' fuzz targets (QQwry.dat, ipv6wry.db, MaxMind DB) with clang's
# libFuzzer and the address and undefined-behaviour sanitizers into build/fuzz/, then runs each
# for a bounded time over a copy of its corpus in fuzz/corpus/. Exits non-zero on any finding.
# Usage: scripts/fuzz.sh [seconds per target]   (default 60)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
out="$root/build/fuzz"
mkdir -p "$out"
rm -f "$out"/crash-* "$out"/leak-* "$out"/timeout-* "$out"/oom-*

failed=0
# target name, corpus folder
for pair in ipdb_fuzz:ipdb ipv6wry_fuzz:ipv6wry mmdb_fuzz:mmdb; do
  target=${pair%%:*}
  corpus=${pair#*:}
  clang++ -std=c++20 -O1 -g -fno-omit-frame-pointer \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I"$root" "$root"/ipdb/*.cpp "$root/fuzz/$target.cpp" -o "$out/$target"
  rm -rf "$out/corpus-$corpus"
  cp -r "$root/fuzz/corpus/$corpus" "$out/corpus-$corpus"
  echo "fuzz: running $target for ${seconds}s"
  status=0
  "$out/$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$out/$target-" "$out/corpus-$corpus" || status=$?
  if [ "$status" -ne 0 ] || compgen -G "$out/$target-*" >/dev/null; then
    echo "fuzz: $target found a fault (exit $status); inputs are in $out/" >&2
    failed=1
  fi
done
[ "$failed" = 0 ] || exit 1
echo "fuzz: no findings"
