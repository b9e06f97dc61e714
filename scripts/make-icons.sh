#!/bin/sh
# Renders the program's icon, data/icons/hicolor/scalable/apps/brenvik.svg,
# into the PNG sizes desktops look for (rsvg-convert, from librsvg2-bin).
# Run it after changing the drawing and commit the PNGs it writes.
set -e
icons="$(dirname "$0")/../data/icons/hicolor"
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "$icons/${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" "$icons/scalable/apps/brenvik.svg" -o "$icons/${size}x${size}/apps/brenvik.png"
done
