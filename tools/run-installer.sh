#!/bin/sh
# Runs the built installer under Wine (64-bit Windows prefix of the win32 build tree).
#   run-installer.sh WIN32-BUILD-DIR
set -eu
build=$1
exe="$build/bin/kreska-setup.exe"
if [ ! -f "$exe" ]; then
  echo "The installer is not built yet ($exe); everything else is built."
  exit 0
fi
root=$(cd "$(dirname "$0")/.." && pwd)
prefix="$build/wine/run"
"$root/tools/wine/prefix.sh" "$prefix" win64
KB_WINE_INTERACTIVE=1 exec "$root/tools/wine/with-display.sh" "$root/tools/wine/wine-run.sh" "$prefix" "$exe"
