#!/bin/sh
# Runs a Windows program in one of the build tree's Wine prefixes.
#   wine-run.sh PREFIX PROGRAM [ARGS...]
# PREFIX is "win32" (a WINEARCH=win32 prefix: 32-bit Windows) or "wow64" (64-bit Windows with
# WOW64), looked up under $KB_WINE_ROOT, or a path to a prefix folder. The program's exit code
# is passed through.
set -eu
[ $# -ge 2 ] || { echo "usage: $0 PREFIX PROGRAM [ARGS...]" >&2; exit 2; }
name=$1
shift
case $name in
  */*) prefix=$name ;;
  *) prefix=${KB_WINE_ROOT:?KB_WINE_ROOT is not set}/$name ;;
esac
case $(basename "$prefix") in
  win32*) WINEARCH=win32 ;;
  *) WINEARCH=win64 ;;
esac
export WINEPREFIX="$prefix" WINEARCH
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko: their install prompts would hang a run without a user.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
. "$(dirname "$0")/loader.sh"
kb_pick_loader "$WINEARCH"
if [ -n "${KB_WINE_INTERACTIVE:-}" ]; then
  exec "$KB_WINE_LOADER" "$@"
fi
# Wine starts helper processes (explorer, services) that outlive the program under a persistent
# wineserver. They inherit the program's output; were it a pipe, the reader (ctest) would wait for
# them until its timeout. So the output goes through a file.
out=$(mktemp)
trap 'rm -f "$out"' EXIT
set +e
"$KB_WINE_LOADER" "$@" >"$out" 2>&1 </dev/null
rc=$?
set -e
cat "$out"
exit $rc
