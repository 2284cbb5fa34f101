#!/usr/bin/env bash
# Renders the program's own icon (icons/tessaly.svg, a blue tile with a folder closed by a zip) into the PNG
# sizes the desktop's icon theme wants, with ImageMagick.
set -euo pipefail
icons="$(cd "$(dirname "$0")/.." && pwd)/icons"
convert -background none "$icons/tessaly.svg" "$icons/tessaly.png"
for size in 16 22 24 32 48 64 128; do
    convert -background none "$icons/tessaly.svg" -resize "${size}x${size}" "$icons/tessaly-$size.png"
done
