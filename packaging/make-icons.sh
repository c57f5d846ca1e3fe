#!/usr/bin/env bash
# Renders the program's icon, res/icon.svg (the one drawing, also the page's
# icon), into the PNG sizes the launcher's icon theme wants. The PNGs are
# kept in the repository, so building and packaging need no SVG renderer;
# run this after changing the drawing. Needs rsvg-convert (Debian:
# librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/.."
command -v rsvg-convert >/dev/null || { echo "make-icons.sh: rsvg-convert is missing (apt install librsvg2-bin)" >&2; exit 1; }
for size in 48 256; do
    out="packaging/icons/sagewend-$size.png"
    rsvg-convert --width "$size" --height "$size" --keep-aspect-ratio --output "$out.part" res/icon.svg
    mv "$out.part" "$out"
    echo "wrote $out"
done
