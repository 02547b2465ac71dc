#!/usr/bin/env bash
# Builds the release packages wardlet-<version>-win32.zip and wardlet-<version>-win64.zip in
# build/package/ (or WARDLET_PACKAGE_DIR): each holds the program, a short readme in Chinese and
# English, and the licence texts of the runtime code the statically linked program carries.
# The version is the one in res/version.h, which the resource script reads too.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"

version=$(sed -n 's/^#define WARDLET_VERSION_\(MAJOR\|MINOR\|PATCH\|BUILD\) \([0-9][0-9]*\)$/\2/p' res/version.h |
          paste -sd.)
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "package: no version in res/version.h" >&2; exit 1; }
out=${WARDLET_PACKAGE_DIR:-$ROOT/build/package}
mkdir -p "$out"
out=$(cd "$out" && pwd)

# Licence texts: the MinGW-w64 runtime (with winpthreads) and GCC's runtime libraries, with the
# GPL text that the GCC runtime library exception refers to.
licence_files=(
  "/usr/share/doc/mingw-w64-common/copyright:MinGW-w64-runtime.txt"
  "/usr/share/doc/gcc-mingw-w64-base/copyright:GCC-runtime.txt"
  "/usr/share/common-licenses/GPL-3:GPL-3.txt"
)
for entry in "${licence_files[@]}"; do
  [ -s "${entry%%:*}" ] || { echo "package: ${entry%%:*} is missing (run scripts/setup.sh)" >&2; exit 1; }
done

# CR LF line ends and a byte-order mark, for Notepad.
windows_text() { printf '\xef\xbb\xbf'; sed 's/$/\r/' "$1"; }

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
for arch in win32 win64; do
  case $arch in win32) triplet=i686-w64-mingw32 ;; win64) triplet=x86_64-w64-mingw32 ;; esac
  cmake --preset "$arch" >/dev/null
  cmake --build --preset "$arch" --target wardlet >/dev/null
  name=wardlet-$version-$arch
  dir=$stage/$name
  mkdir -p "$dir/licenses"
  "$triplet-strip" -o "$dir/wardlet.exe" "build/$arch/wardlet.exe"
  sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" scripts/package-readme.txt > "$stage/readme.txt"
  windows_text "$stage/readme.txt" > "$dir/README.txt"
  for entry in "${licence_files[@]}"; do windows_text "${entry%%:*}" > "$dir/licenses/${entry#*:}"; done
  rm -f "$out/$name.zip"
  (cd "$stage" && zip -qrX "$out/$name.zip" "$name")
  echo "package: $out/$name.zip"
done
