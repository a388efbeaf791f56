#!/bin/sh
# Renders the layout chart of each variant to PNG with headless Chromium (Debian package
# chromium), for the pictures under docs/.
#   render-charts.sh GEN_DIR OUT_DIR
# GEN_DIR holds the layout compiler's chart-<variant>.svg files.
set -eu
gen=$1
out=$2
browser=$(command -v chromium || command -v chromium-browser || true)
[ -n "$browser" ] || { echo "render-charts: chromium is not installed" >&2; exit 1; }
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for svg in "$gen"/chart-*.svg; do
  variant=$(basename "$svg" .svg)
  variant=${variant#chart-}
  page="$work/$variant.html"
  { printf '<!DOCTYPE html><html><head><meta charset="utf-8"></head><body style="margin:0;background:#fff">'
    cat "$svg"
    printf '</body></html>\n'; } >"$page"
  width=$(sed -n 's/^<svg[^>]* width="\([0-9]*\)".*/\1/p' "$svg")
  height=$(sed -n 's/^<svg[^>]* height="\([0-9]*\)".*/\1/p' "$svg")
  "$browser" --headless=new --no-sandbox --disable-gpu --hide-scrollbars \
    --window-size="${width:-1000},${height:-410}" --screenshot="$out/layout-$variant.png" \
    "file://$page" >/dev/null 2>&1
  echo "render-charts: $out/layout-$variant.png"
done
