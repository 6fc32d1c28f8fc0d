#!/bin/sh
# Renders the hicolor PNG icons from quendrel.svg (ImageMagick). ImageMagick's
# own SVG renderer draws no gradients, so the background is drawn separately.
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
big=1024
grep -v 'fill="url(#sky)"' quendrel.svg >"$tmp/front.svg"
/usr/bin/convert -background none -density 384 "$tmp/front.svg" -resize ${big}x${big} PNG32:"$tmp/front.png"
/usr/bin/convert -size ${big}x${big} gradient:'#0d47a1-#42a5f5' "$tmp/sky.png"
/usr/bin/convert -size ${big}x${big} xc:none -fill white \
  -draw "roundrectangle 32,32 991,991 160,160" "$tmp/mask.png"
/usr/bin/convert "$tmp/sky.png" "$tmp/mask.png" -alpha off -compose CopyOpacity -composite \
  "$tmp/front.png" -compose Over -composite "$tmp/full.png"
for s in 16 22 24 32 48 64 128 256; do
  mkdir -p hicolor/${s}x${s}/apps
  /usr/bin/convert "$tmp/full.png" -resize ${s}x${s} -strip PNG32:hicolor/${s}x${s}/apps/quendrel.png
done
# The Windows icon: the sizes Explorer and the installer ask for, in one file.
/usr/bin/convert hicolor/16x16/apps/quendrel.png hicolor/32x32/apps/quendrel.png hicolor/48x48/apps/quendrel.png \
  hicolor/256x256/apps/quendrel.png ../windows/quendrel.ico
