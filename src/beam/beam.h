// The ULA's raster beam: where in the frame the machine is at a T-state, the
// border as the beam paints it (with stripes and mid-frame changes), and the
// floating bus, the byte the ULA is fetching for the picture, which an
// unattached port reads. Both are off unless asked for; then the picture has
// no border and odd ports read 0 as on the plain machine.
//
// The frame of a 48K is 312 lines of 224 T-states from the interrupt. The
// first of the 192 picture lines starts 14336 T-states (64 lines) after it:
// 128 T-states of picture (two pixels a T-state), 24 of right border, 48 of
// retrace and 24 of left border before the next line's picture. 48 border
// lines lie above the picture and 56 below; 24 of each are shown, and 32
// pixels (16 T-states) at each side.
#pragma once

#include <cstdint>

// ---- Settings ----

extern int32_t border_shown;  // 1: the picture is framed by the border (--border)
extern int32_t floating_bus;  // 1: odd ports but the Kempston one read the ULA's fetch (--floating-bus)

// The border shown around the picture, in 1:1 pixels.
constexpr int border_side = 32;
constexpr int border_above = 24;
constexpr int framed_width = 256 + 2 * border_side;   // 320
constexpr int framed_height = 192 + 2 * border_above;  // 240

// The size of what is shown at scale 1: the picture, or the picture framed.
int shown_width();
int shown_height();
// Where the picture sits in what is shown (0, 0 without the border).
int picture_left();
int picture_top();
// Full-screen resolution for each scale (index 1..5) with the border: the
// smallest common resolution that holds 320s x 240s.
extern const int framed_fullscreen_width[6];
extern const int framed_fullscreen_height[6];

// ---- Timing ----

constexpr int32_t first_picture_tstate = 14336;  // the first picture byte, after the interrupt
constexpr int32_t picture_line_tstates = 128;    // of each line's 224, the picture's

// At the start of each frame (pollline of line 0): the frame's T-state 0.
void beam_frame_start();
// T-states since the current frame's interrupt, at the instruction now running.
int32_t frame_tstate();

// ---- The border ----

// Every write to the ULA: a change of colour (bits 0-2) is recorded with its
// T-state, for the border of this frame.
void border_write(uint8_t value);
// The next drawing draws the whole border, not only what changed.
void redraw_border();
// Draws the border of the last frame run on the screen at scale s, the
// framed picture's top-left corner at (x, y): only the segments that changed
// since the last drawing, or all of it when `whole` or a whole redraw is due.
void draw_border(int s, int x, int y, bool whole);

// ---- The floating bus ----

// What the ULA is fetching at this T-state: a bitmap or attribute byte during
// the picture's fetches, 0xFF when it fetches nothing.
uint8_t floating_bus_byte();
