#!/bin/sh
# Draws the program icon's PNG sizes from its SVG (rsvg-convert) and the 16x16
# floppy disk of the save button (ImageMagick). Run it again after changing a
# picture.
set -eu
cd "$(dirname "$0")"
CONVERT=/usr/bin/convert

# The program icon is drawn once, as dist/icons/tembrel-server.svg; the PNG
# sizes of the icon theme and the window's own 64x64 picture come from it.
SVG=../../dist/icons/tembrel-server.svg
for size in 16 22 24 32 48 64 128 256 512; do
    mkdir -p "../../dist/icons/hicolor/${size}x${size}/apps"
    rsvg-convert -w "$size" -h "$size" "$SVG" \
        -o "../../dist/icons/hicolor/${size}x${size}/apps/tembrel-server.png"
done
cp ../../dist/icons/hicolor/64x64/apps/tembrel-server.png tembrel.png

# The floppy disk: a blue body, a metal shutter at the top, a white label.
$CONVERT -size 16x16 xc:none \
    -fill '#2b4c9b' -stroke '#10204a' -strokewidth 1 \
    -draw 'polygon 0,0 13,0 15,2 15,15 0,15' \
    -fill '#d8d8d8' -stroke none -draw 'rectangle 3,1 11,5' \
    -fill '#2b4c9b' -draw 'rectangle 8,2 10,4' \
    -fill '#ffffff' -stroke '#9a9a9a' -draw 'rectangle 3,9 12,15' \
    -stroke '#7a7a7a' -draw 'line 5,11 10,11' -draw 'line 5,13 10,13' \
    floppy.png
