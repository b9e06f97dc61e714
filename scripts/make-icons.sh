#!/bin/sh
# Renders the program's icon, data/icons/hicolor/scalable/apps/brenvik.svg,
# into the PNG sizes desktops look for (rsvg-convert, from librsvg2-bin) and
# the window icon (ImageMagick).
# Run it after changing the drawing and commit the pictures it writes (the
# PNGs and src/main/window_icon.xpm).
set -e
icons="$(dirname "$0")/../data/icons/hicolor"
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "$icons/${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" "$icons/scalable/apps/brenvik.svg" -o "$icons/${size}x${size}/apps/brenvik.png"
done
# The window's own icon, built into the program: 32 x 32 in an XPM of few
# colours, transparent or opaque.
convert "$icons/32x32/apps/brenvik.png" -channel A -threshold 50% +channel -colors 24 xpm:- |
  sed 's/^static const char \*[^[]*\[\]/static const char *window_icon_xpm[]/' \
  >"$(dirname "$0")/../src/main/window_icon.xpm"
