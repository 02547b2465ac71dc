#!/usr/bin/env bash
# Installs what the build, the run and the tests need on a Debian machine.
# Idempotent: does nothing when everything is there already.
set -euo pipefail

pkgs=(cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev
      g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64
      wine wine32:i386 wine64 xvfb x11-utils xdotool imagemagick fonts-wqy-zenhei
      ca-certificates osslsigncode openssl mmdb-bin libmaxminddb-dev zip unzip binutils)

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
command -v npm >/dev/null || missing+=(npm)
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
