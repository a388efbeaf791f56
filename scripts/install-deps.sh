#!/usr/bin/env bash
# Brings every build and test dependency onto a Debian 12 machine. Idempotent: it does nothing
# when every package is already there, so the set-up commands may call it on every run.
set -euo pipefail

packages=(
  cmake make g++ clang libclang-rt-14-dev ninja-build clang-format
  mingw-w64 mingw-w64-tools g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  gcc-mingw-w64-i686-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine wine32:i386 wine64 xvfb xauth x11-utils
  zlib1g-dev libz-mingw-w64-dev libzopfli-dev
  googletest libgtest-dev libbenchmark-dev nettle-dev
  libtomlplusplus-dev unicode-data
  python3 python3-pefile libunicorn-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages: ${missing[*]}; run this script as root" >&2
  exit 1
fi
echo "install-deps: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
