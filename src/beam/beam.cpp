// The border as the beam paints it and the floating bus.
//
// The border is kept at the resolution the ULA gives it: it takes up a new
// colour every 4 T-states, which is 8 pixels along a line. The shown frame
// is therefore 40 cells of 8 pixels by 240 lines. Each write that changes the
// colour is recorded with its T-state in a fixed list; after the frame the
// list is laid along the cells in the beam's order, and a cell is drawn again
// only when its colour differs from what the screen already shows.
#include "beam/beam.h"

#include <allegro.h>

#include "tape/tape.h"
#include "ula/ula.h"
#include "z80/z80.h"

int32_t border_shown = 0;
int32_t floating_bus = 0;

const int framed_fullscreen_width[6] = {0, 640, 640, 1024, 1280, 1600};
const int framed_fullscreen_height[6] = {0, 480, 480, 768, 1024, 1200};

int shown_width() { return border_shown ? framed_width : 256; }
int shown_height() { return border_shown ? framed_height : 192; }
int picture_left() { return border_shown ? border_side : 0; }
int picture_top() { return border_shown ? border_above : 0; }

namespace {

constexpr int cell_pixels = 8;                          // pixels of one border cell
constexpr int cell_tstates = cell_pixels / 2;           // and the T-states the beam takes for it
constexpr int cells = framed_width / cell_pixels;       // 40 along a line
constexpr int side_cells = border_side / cell_pixels;   // 4 at each side of the picture
constexpr int line_tstates = tstates_per_line;

// The clock (tape_now's) at the current frame's interrupt.
int64_t frame_clock = 0;

// Colour changes of the current frame, in T-state order. An OUT takes at
// least 11 T-states, so a frame holds fewer than 69888 / 11 of them.
struct colour_change {
    int32_t tstate;
    uint8_t colour;
};
constexpr int most_changes = tstates_per_frame / 11 + 1;
colour_change changes[most_changes];
int change_count = 0;
uint8_t colour_at_start = 0;  // the colour as the frame began
uint8_t colour_now = 0;       // the colour last written in this frame

// The colours of the last frame run, and those the screen shows.
uint8_t painted[framed_height][cells];
uint8_t on_screen[framed_height][cells];
bool whole_due = true;
// A frame has started since the border was last drawn: there may be changes.
bool frame_run = true;

bool in_picture(int row, int cell) {
    return row >= border_above && row < border_above + 192 && cell >= side_cells && cell < cells - side_cells;
}

// Lays the frame's changes along the cells: each cell takes the colour in
// force when the beam reaches its first pixel.
void paint_frame() {
    int next = 0;
    uint8_t colour = colour_at_start;
    for (int row = 0; row < framed_height; ++row) {
        // The picture line this row stands for (negative above the picture)
        // and the T-state of its leftmost shown pixel.
        const int32_t start = first_picture_tstate + (row - border_above) * line_tstates - border_side / 2;
        for (int cell = 0; cell < cells; ++cell) {
            if (in_picture(row, cell)) continue;
            const int32_t t = start + cell * cell_tstates;
            while (next < change_count && changes[next].tstate <= t) colour = changes[next++].colour;
            painted[row][cell] = colour;
        }
    }
}

}  // namespace

void beam_frame_start() {
    frame_clock = line_clock;
    frame_run = true;
    change_count = 0;
    // From the ULA byte, which a loaded snapshot may have set.
    colour_at_start = colour_now = uladat & 7;
}

int32_t frame_tstate() { return int32_t(tape_now() - frame_clock); }

void border_write(uint8_t value) {
    const uint8_t colour = value & 7;
    if (!border_shown || colour == colour_now) return;
    colour_now = colour;
    if (change_count < most_changes) changes[change_count++] = {frame_tstate(), colour};
}

void redraw_border() { whole_due = true; }

void draw_border(int s, int x, int y, bool whole) {
    whole |= whole_due;
    // Without a frame run since, the border on the screen is the last frame's.
    if (!whole && !frame_run) return;
    whole_due = false;
    frame_run = false;
    paint_frame();
    acquire_screen();
    for (int row = 0; row < framed_height; ++row) {
        uint8_t *want = painted[row];
        uint8_t *have = on_screen[row];
        // Runs of changed cells of one colour, each one rectangle.
        for (int cell = 0; cell < cells;) {
            if (in_picture(row, cell) || (!whole && want[cell] == have[cell])) {
                ++cell;
                continue;
            }
            int end = cell + 1;
            while (end < cells && !in_picture(row, end) && want[end] == want[cell] && (whole || want[end] != have[end]))
                ++end;
            // Pixel value 16c is PAPER c without BRIGHT in the picture's palette.
            rectfill(screen, x + s * cell * cell_pixels, y + s * row, x + s * end * cell_pixels - 1, y + s * (row + 1) - 1,
                     16 * want[cell]);
            for (int c = cell; c < end; ++c) have[c] = want[c];
            cell = end;
        }
    }
    release_screen();
}

uint8_t floating_bus_byte() {
    const int32_t t = frame_tstate() - first_picture_tstate;
    if (t < 0 || t >= 192 * line_tstates) return 0xFF;
    const int line = t / line_tstates;
    const int at = t % line_tstates;
    if (at >= picture_line_tstates) return 0xFF;
    // Per 8 T-states: bitmap, attribute, the next column's bitmap and
    // attribute, then 4 T-states without a fetch.
    const int step = at & 7;
    if (step >= 4) return 0xFF;
    const int column = (at >> 3) * 2 + (step >> 1);
    if (step & 1) return ram[0x5800 + (line >> 3) * 32 + column];
    return ram[0x4000 | (line & 0xC0) << 5 | (line & 7) << 8 | (line & 0x38) << 2 | column];
}
