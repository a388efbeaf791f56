#!/bin/sh
# Creates a Wine prefix once and marks it ready; later calls return at once.
#   prefix.sh DIR win32|win64
set -eu
dir=$1
arch=$2
[ -f "$dir/.kb-ready" ] && exit 0
rm -rf "$dir"
mkdir -p "$dir"
export WINEPREFIX="$dir" WINEARCH="$arch" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Headless: wineboot needs no display when no dialog comes up.
unset DISPLAY
. "$(dirname "$0")/loader.sh"
kb_pick_loader "$arch"
"$KB_WINE_LOADER" wineboot -i </dev/null >"$dir.log" 2>&1 || { cat "$dir.log" >&2; exit 1; }
wineserver -w
touch "$dir/.kb-ready"
