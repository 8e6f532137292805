#!/bin/sh
# Renders the icon PNGs and bitmaps from the SVGs in svg/. Run it after changing an SVG and commit the
# outputs: the build reads png/ and bmp/ and needs no renderer. Needs rsvg-convert and python3.
set -eu
cd "$(dirname "$0")"
mkdir -p png bmp

# Menu and palette icons: "&96" at 22 pixels and "&192" at 44; icon 10001 at 18 and 36.
for id in 32101 32102 32103 32104 32105; do
    rsvg-convert -w 22 -h 22 -o "png/I${id}_96.png" "svg/I${id}.svg"
    rsvg-convert -w 44 -h 44 -o "png/I${id}_192.png" "svg/I${id}.svg"
done
rsvg-convert -w 18 -h 18 -o png/I10001_96.png svg/I10001.svg
rsvg-convert -w 36 -h 36 -o png/I10001_192.png svg/I10001.svg

# The module icon: 512 and 256 as PNG, the small sizes as 32-bit bitmaps made from PNGs rendered at size.
rsvg-convert -w 512 -h 512 -o png/Module_512.png svg/Module.svg
rsvg-convert -w 256 -h 256 -o png/Module_256.png svg/Module.svg
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for size in 128 96 64 48 32 16; do
    rsvg-convert -w "$size" -h "$size" -o "$work/Module_$size.png" svg/Module.svg
    python3 png2bmp.py "$work/Module_$size.png" "bmp/Module_$size.bmp"
done
