#!/usr/bin/env bash
# Fetches the IPv6 and the MaxMind location databases for the run, the tests and the benchmarks
# into build/data/: ipv6wry.db (data/ipv6wry.db of the npm package ip2region 2.3.0) and
# geo-whois-asn-country.mmdb (the CC0 country-level file of the npm package
# @ip-location-db/geo-whois-asn-country-mmdb). Only those data files are extracted, none of the
# packages' code. Cached: a file already there with its expected size is left as it is.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
dest_dir="$root/build/data"
mkdir -p "$dest_dir"
size_of() { stat -c %s "$1" 2>/dev/null || echo 0; }

# fetch PACKAGE@VERSION TARBALL MEMBER DEST SIZE
fetch() {
  local package=$1 tarball=$2 member=$3 dest=$4 size=$5
  [ "$(size_of "$dest")" = "$size" ] && return 0
  command -v npm >/dev/null || { echo "fetch-locations: npm is not installed" >&2; return 1; }
  if [ ! -s "$dest_dir/$tarball" ]; then
    (cd "$dest_dir" && npm pack "$package" --ignore-scripts --silent \
       --fetch-retries=2 --fetch-timeout=60000 >/dev/null) || return 1
  fi
  local tmp
  tmp=$(mktemp -d "$dest_dir/extract.XXXXXX")
  tar -xzf "$dest_dir/$tarball" -C "$tmp" "$member" || { rm -rf "$tmp"; return 1; }
  if [ "$(size_of "$tmp/$member")" != "$size" ]; then
    echo "fetch-locations: $tarball does not hold the expected $size-byte $member" >&2
    rm -rf "$tmp" "$dest_dir/$tarball"
    return 1
  fi
  mv "$tmp/$member" "$dest"
  rm -rf "$tmp"
  echo "fetch-locations: $dest"
}

status=0
fetch ip2region@2.3.0 ip2region-2.3.0.tgz package/data/ipv6wry.db "$dest_dir/ipv6wry.db" 2665278 || status=1
fetch @ip-location-db/geo-whois-asn-country-mmdb@2.3.2026061719 \
  ip-location-db-geo-whois-asn-country-mmdb-2.3.2026061719.tgz package/geo-whois-asn-country.mmdb \
  "$dest_dir/geo-whois-asn-country.mmdb" 7841291 || status=1
exit $status
