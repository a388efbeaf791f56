# Sourced by the Wine scripts: picks the Wine loader for a prefix architecture ($1: win32|win64)
# and sets KB_WINE_LOADER. Debian's "wine" starts the 32-bit loader first, which fails at once on a
# kernel that cannot run 32-bit Linux programs; wine64 then runs 64-bit programs on its own.
kb_pick_loader() {
  if [ "$1" = win32 ] || /usr/lib/wine/wine --version >/dev/null 2>&1; then
    KB_WINE_LOADER=wine
  elif [ -x /usr/lib/wine/wine64 ]; then
    KB_WINE_LOADER=/usr/lib/wine/wine64
  else
    KB_WINE_LOADER=wine
  fi
}
