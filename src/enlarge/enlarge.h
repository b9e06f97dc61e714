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

// How far a changed source pixel can change the smart enlargement, in source
// pixels: along its row and its column (the run ahead a change point looks
// at, then the fan it draws behind it), and across them (the lines beside a
// change point that it reads, then the fine checkerboard around it).
constexpr int smart_enlarge_reach_along = 8 + 16;
constexpr int smart_enlarge_reach_across = 2;

// Draws into the destination rectangle X1..X2-1 by Y1..Y2-1, and nowhere
// else, exactly what do_smart_enlarge over the whole picture 0, 0, w, h at
// scale n draws there; dest must already hold the plain stretch in that
// rectangle. It scans only the change points whose lines can reach it.
void smart_enlarge_part(BITMAP *source, BITMAP *dest, int w, int h, int n, int X1, int Y1, int X2, int Y2);
