#!/bin/sh
# Draws the PNG sizes of the application icon from its SVG (rsvg-convert, in
# Debian's librsvg2-bin). Run after changing the SVG; the PNGs are kept in the
# tree so that building needs no SVG renderer.
set -eu
cd "$(dirname "$0")"
for size in 16 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" example.pellamys_veltrop.Veltrop.svg -o "veltrop-$size.png"
done
