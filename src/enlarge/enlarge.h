// The smart enlarge scaler: redraws the staircase edges of an enlarged
// Spectrum picture as sloped lines, and one-pixel dithers as a fine checkerboard.
#pragma once

#include <allegro.h>

// dest already holds the plain n-fold stretch of source over the same area;
// n = dx2 / x2. The source corners may lie partly outside the source bitmap.
// Both are 8-bit memory bitmaps: the sloped lines and the fine checkerboard
// are stored straight into dest's rows, clipped to its clip rectangle, so
// nothing is read or written outside either bitmap.
// Reads colour_table and display.fine_dither. Main thread only.
void do_smart_enlarge(BITMAP *source, BITMAP *dest, int x1, int y1, int x2, int y2,
                      int dx1, int dy1, int dx2, int dy2);
