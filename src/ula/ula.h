// The ULA side of the machine: the keyboard matrix and port byte, the beeper,
// the palette and colour tables, the display modes, the dirty-square
// operations with FLASH, and the renderer.
#pragma once

#include <allegro.h>

#include <atomic>
#include <cstdint>

// ---- Keyboard matrix and ULA port ----

// Host key (Allegro KEY_ code) for each of the 40 Spectrum keys: half-row h
// (selected by address line A(8 + h) low), data bit b.
extern const int keys[8][5];
// Host keys down in half-row h, active high, extras and keys pressed by
// character included (as the current emulated frame sees them, src/keys).
int scan(int h);
// The byte an IN from an even port yields.
int readula(uint16_t port);
// An OUT to an even port: the byte is kept in uladat.
void writeula(uint8_t value);
// The last byte written to an even port. Bits 3 (MIC) and 4 (EAR) drive the beeper.
extern uint8_t uladat;

// ---- Beeper ----

constexpr int sound_rate = 15600;     // one sample per scanline, 312 x 50
constexpr int sound_samples = 312;    // one frame per stream buffer
// Bits 3 and 4 of uladat as they stood at the start of each scanline.
extern int speakerstat[sound_samples];
// 1 while the beeper plays.
extern int soundon;
// The beeper's audio stream, or none.
extern AUDIOSTREAM *as;
// Samples the speaker bits at the start of a scanline (called by execz80).
void pollline(int line);
// Hands the frame's samples to the stream, when it has a free buffer.
void mixsound();
// Creates the beeper stream (when the sound system is up) and stops it.
void start_sound_stream();
void stop_sound_stream();
// The stream calls mixsound makes: Allegro's by default; tests replace them.
extern void *(*stream_buffer_get)(AUDIOSTREAM *);
extern void (*stream_buffer_free)(AUDIOSTREAM *);

// ---- Palette and colour tables ----

extern PALETTE specpal;              // the 16 Spectrum colours, by BRIGHT * 8 + colour
extern PALETTE pal;                  // pixel value 2 * attribute + bit to colour
extern int8_t raw_colour[16];        // drawing priority of each Spectrum colour
extern int8_t colour_table[256];     // priority of each pixel value
extern uint32_t attrtable[128];      // four pixels of value 2 * attribute
extern uint32_t table[16];           // four pixel bits, leftmost in the lowest byte
extern uint8_t fattr[128];           // attribute with INK and PAPER exchanged

// Fills raw_colour and sets display.scale to 1.
void setup_colour_priorities();
// Builds specpal, table, pal, colour_table, attrtable and fattr.
void build_colour_tables();

// The 1:1 picture and its enlargement, both 1280 x 960, pictures in the top-left corner.
extern BITMAP *emulated_screen;
extern BITMAP *scaled_buffer;
constexpr int buffer_width = 1280;
constexpr int buffer_height = 960;

// ---- Display settings and modes ----

struct display_settings {
    int32_t fullscreen;    // 0 window, 1 full screen
    int32_t scale;         // enlargement factor, 1..5
    int32_t use_dsquares;  // 1: redraw only changed cells
    std::atomic<int32_t> show_fps;  // 1: the title shows the redraw rate (read by the timer)
    int32_t fine_dither;   // 1: one-pixel dithers become a fine checkerboard
};
extern display_settings display;

// Full-screen resolution for each scale (index 1..5).
extern const int fullscreen_width[6];
extern const int fullscreen_height[6];

// Brings up Allegro, the window, the bitmaps, the tables, the FLASH timer and
// the sound. Returns false, with a message on standard error, when no display
// could be opened.
bool initula();
// Sets the display mode for a scale and window or full screen, stepping down
// when a mode cannot be set. Returns false when no mode at all could be set
// (the previous mode is then restored where possible).
bool updatemode(int scale, int fullscreen);
// The mode setter updatemode uses: set_gfx_mode by default; tests replace it.
extern int (*set_mode)(int card, int w, int h, int v_w, int v_h);

// ---- Dirty squares and FLASH ----

extern std::atomic<int32_t> flashon;  // 1: flashing cells show INK and PAPER exchanged
void flashint();                      // timer callback, flips flashon
void clear_dsquares();
// Marks every cell and the border for redrawing: the next drawbuffer and
// drawscr draw the whole picture afresh (after a new mode, a loaded snapshot
// or any other change of the machine behind the renderer's back).
void fill_dsquares();

// ---- Renderer ----

// Decodes the changed cells of screen memory into emulated_screen.
void drawbuffer();
// Enlarges and presents the changed cells (or the whole picture) on the screen.
void drawscr();
// The drawing calls drawscr makes: stretch_blit, do_smart_enlarge and blit by
// default; tests put recorders here to see the exact areas.
extern void (*render_stretch)(BITMAP *, BITMAP *, int, int, int, int, int, int, int, int);
extern void (*render_enlarge)(BITMAP *, BITMAP *, int, int, int, int, int, int, int, int);
extern void (*render_blit)(BITMAP *, BITMAP *, int, int, int, int, int, int);
// The scaler over part of the picture, for changed cells: smart_enlarge_part.
extern void (*render_enlarge_part)(BITMAP *, BITMAP *, int, int, int, int, int, int, int);
