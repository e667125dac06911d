#!/usr/bin/env bash
# Renders the application icon (dist/icons/tavrix.svg) to the PNG sizes the
# desktop's icon theme and the window use. The PNGs are kept in the repository so
# that a build needs no SVG renderer; run this after changing the SVG
# (it needs rsvg-convert, Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../dist/icons"
for size in 16 32 48 64 128 256; do
    rsvg-convert --width "$size" --height "$size" tavrix.svg --output "tavrix-$size.png"
done
