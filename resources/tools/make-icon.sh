#!/usr/bin/env bash
# Draws the program's own icon (a blue tile with a folder and a zip pull) with ImageMagick.
set -euo pipefail
out="$(cd "$(dirname "$0")/.." && pwd)/icons"
mkdir -p "$out"
convert -size 256x256 xc:none \
    -fill '#1f6fd1' -draw 'roundrectangle 8,8 247,247 40,40' \
    -fill '#ffffff' -draw 'roundrectangle 40,72 120,104 10,10' \
    -fill '#ffffff' -draw 'roundrectangle 40,88 216,204 14,14' \
    -fill '#1f6fd1' -draw 'rectangle 120,104 136,204' \
    -fill '#ffffff' -draw 'rectangle 124,108 132,116' -draw 'rectangle 124,124 132,132' \
                    -draw 'rectangle 124,140 132,148' -draw 'rectangle 124,156 132,164' \
    -fill '#1f6fd1' -draw 'roundrectangle 114,168 142,196 6,6' \
    -fill '#ffffff' -draw 'rectangle 124,176 132,188' \
    "$out/tessaly.png"
