#!/usr/bin/env bash
# Fetches a real QQwry.dat for the tests and benchmarks into build/data/QQwry.dat.
# The file ships as data/qqwry.dat in the npm package lib-qqwry 1.3.4; only that
# data file is extracted, none of the package's code. Cached: does nothing when
# the file is there already.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
dest_dir="$root/build/data"
dest="$dest_dir/QQwry.dat"
package="lib-qqwry@1.3.4"
tarball="lib-qqwry-1.3.4.tgz"
expected_size=11408129

size_of() { stat -c %s "$1" 2>/dev/null || echo 0; }

if [ "$(size_of "$dest")" = "$expected_size" ]; then
  exit 0
fi
command -v npm >/dev/null || { echo "fetch-qqwry: npm is not installed" >&2; exit 1; }
mkdir -p "$dest_dir"
if [ ! -s "$dest_dir/$tarball" ]; then
  (cd "$dest_dir" && npm pack "$package" --ignore-scripts --silent \
     --fetch-retries=2 --fetch-timeout=60000 >/dev/null)
fi
tmp=$(mktemp -d "$dest_dir/extract.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
tar -xzf "$dest_dir/$tarball" -C "$tmp" package/data/qqwry.dat
if [ "$(size_of "$tmp/package/data/qqwry.dat")" != "$expected_size" ]; then
  echo "fetch-qqwry: $tarball does not hold the expected $expected_size-byte data file" >&2
  rm -f "$dest_dir/$tarball"
  exit 1
fi
mv "$tmp/package/data/qqwry.dat" "$dest"
echo "fetch-qqwry: $dest"
