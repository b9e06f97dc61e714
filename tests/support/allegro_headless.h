// Starts Allegro without a display, once per test program: memory bitmaps,
// blit, stretch_blit, hline and vline all work without a graphics mode.
#pragma once

void allegro_headless();
