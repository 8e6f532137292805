#!/bin/sh
# Renders the icon images from the SVGs in svg/. Run it after changing an SVG and commit the outputs: the
# build reads ../RFIX/Images and ../RFIX.win/KAVELO.ico and needs no renderer. Needs rsvg-convert and python3.
set -eu
cd "$(dirname "$0")"
images=../RFIX/Images

# Menu and palette icons, named as 'GICN' expects: "I<id>.png" at 22 pixels ("&96") and "I<id>@2x.png" at
# 44 ("&192"); icon 10001 at 18 and 36.
for id in 32101 32102 32103 32104 32105; do
    rsvg-convert -w 22 -h 22 -o "$images/I${id}.png" "svg/I${id}.svg"
    rsvg-convert -w 44 -h 44 -o "$images/I${id}@2x.png" "svg/I${id}.svg"
done
rsvg-convert -w 18 -h 18 -o "$images/I10001.png" svg/I10001.svg
rsvg-convert -w 36 -h 36 -o "$images/I10001@2x.png" svg/I10001.svg

# The module file's icon: 256 pixels as PNG, 128 down to 16 as 32-bit bitmaps, in one .ico file.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for size in 256 128 96 64 48 32 16; do
    rsvg-convert -w "$size" -h "$size" -o "$work/Module_$size.png" svg/Module.svg
done
python3 makeico.py ../RFIX.win/KAVELO.ico "$work"/Module_256.png "$work"/Module_128.png \
    "$work"/Module_96.png "$work"/Module_64.png "$work"/Module_48.png "$work"/Module_32.png "$work"/Module_16.png

# The installer's icon (../../installer/KAVELO-Setup.ico: 256 pixels as PNG, 48, 32 and 16 as bitmaps) and its
# pages' header bitmap (../../installer/KAVELO-header.bmp, 150 by 57 pixels), from the same artwork.
python3 makeico.py ../../installer/KAVELO-Setup.ico "$work"/Module_256.png "$work"/Module_48.png \
    "$work"/Module_32.png "$work"/Module_16.png
python3 makeheader.py ../../installer/KAVELO-header.bmp "$work"/Module_48.png
