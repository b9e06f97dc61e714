// The frame renderer: decodes changed character cells of screen memory into
// the 1:1 picture, then enlarges and presents them in rectangles, each with
// the neighbourhood the scaler's reach gives it, so that the picture on the
// screen never depends on how it was drawn.
#include <algorithm>
#include <cstring>

#include "beam/beam.h"
#include "enlarge/enlarge.h"
#include "screen/screen.h"
#include "ula/ula.h"
#include "z80/z80.h"

void (*render_stretch)(BITMAP *, BITMAP *, int, int, int, int, int, int, int, int) = stretch_blit;
void (*render_enlarge)(BITMAP *, BITMAP *, int, int, int, int, int, int, int, int) = do_smart_enlarge;
void (*render_blit)(BITMAP *, BITMAP *, int, int, int, int, int, int) = blit;
void (*render_enlarge_part)(BITMAP *, BITMAP *, int, int, int, int, int, int, int) = smart_enlarge_part;

namespace {

constexpr int display_file = 0x4000;
constexpr int attributes = 0x5800;
constexpr int columns = 32;
constexpr int rows = 24;

// Four finished pixels in one store; the row pointer of an 8-bit bitmap
// carries no alignment promise, so the store goes through memcpy.
inline void store4(uint8_t *at, uint32_t pixels) { std::memcpy(at, &pixels, sizeof pixels); }

// Copies one area to the screen, bracketed as the library asks for a
// display bitmap.
void present(BITMAP *from, int sx, int sy, int dx, int dy, int w, int h) {
    acquire_screen();
    render_blit(from, screen, sx, sy, dx, dy, w, h);
    release_screen();
}

// Enlarges and presents one area of the picture, source pixels x..x+w-1 by
// y..y+h-1: stretched plainly, then smoothed as a whole-picture pass would
// smooth it, so that it matches the picture around it pixel for pixel.
void present_area(int x, int y, int w, int h, int s, int xoff, int yoff) {
    render_stretch(emulated_screen, scaled_buffer, x, y, w, h, s * x, s * y, s * w, s * h);
    render_enlarge_part(emulated_screen, scaled_buffer, 256, 192, s, s * x, s * y, s * (x + w), s * (y + h));
    present(scaled_buffer, s * x, s * y, s * x + xoff, s * y + yoff, s * w, s * h);
}

// An area of the picture in source pixels, columns x0..x1-1 by rows y0..y1-1.
struct band {
    int x0, y0, x1, y1;
    bool holds(const band &o) const { return x0 <= o.x0 && y0 <= o.y0 && x1 >= o.x1 && y1 >= o.y1; }
    int size() const { return (x1 - x0) * (y1 - y0); }
};

// The areas to enlarge and present in this pass.
band bands[2 * squares];
int band_count = 0;

// A changed pixel changes the enlargement along its row and its column as
// far as the scaler reaches, and a little across them: the rectangle of
// cells, columns x0..x1-1 and rows y0..y1-1, gives a band along the rows and
// one along the columns, each clipped to the picture. When one holds the
// other only the larger is kept.
void add_bands(int x0, int y0, int x1, int y1) {
    auto widened = [&](int along_x, int along_y) {
        return band{std::max(8 * x0 - along_x, 0), std::max(8 * y0 - along_y, 0), std::min(8 * x1 + along_x, 256),
                    std::min(8 * y1 + along_y, 192)};
    };
    const band rows = widened(smart_enlarge_reach_along, smart_enlarge_reach_across);
    const band cols = widened(smart_enlarge_reach_across, smart_enlarge_reach_along);
    if (!cols.holds(rows) || rows.holds(cols)) bands[band_count++] = rows;
    if (!rows.holds(cols)) bands[band_count++] = cols;
}

}  // namespace

void drawbuffer() {
    // Flashing cells change with the phase, not with memory: redraw them every frame.
    for (int cell = 0; cell < squares; ++cell)
        if (ram[attributes + cell] & 0x80) dsquare[cell] = 1;

    // One phase for the whole frame, so a flip by the timer mid-decode cannot
    // leave flashing cells in different phases.
    const bool inverted = flashon.load(std::memory_order_relaxed) != 0;
    const bool everything = display.use_dsquares == 0;
    // An idle machine changes nothing: no need to walk the display file.
    if (!everything && !std::memchr(dsquare, 1, squares)) return;

    // Walk the display file in address order; the attribute counter restarts
    // for every pixel line of a third.
    int a = display_file;
    for (int third = 0; third < 3; ++third) {
        for (int line = 0; line < 8; ++line) {
            int p = attributes + third * 0x100;
            for (int row = 0; row < 8; ++row) {
                uint8_t *out = emulated_screen->line[third * 64 + row * 8 + line];
                for (int column = 0; column < columns; ++column, ++a, ++p) {
                    uint8_t attr = ram[p];
                    if (!everything && !dsquare[dsquare_table[a - display_file]]) continue;
                    const uint8_t pix = ram[a];
                    if (inverted && (attr & 0x80)) attr = fattr[attr & 0x7F];
                    const uint32_t colours = attrtable[attr & 0x7F];
                    store4(out + 8 * column, table[pix >> 4] | colours);
                    store4(out + 8 * column + 4, table[pix & 0x0F] | colours);
                }
            }
        }
    }
}

namespace {

// Presents the changed cells of the picture, or all of it, at scale s with
// its top-left corner at (xoff, yoff) on the screen.
void present_picture(int s, int xoff, int yoff) {
    if (!display.use_dsquares) {
        // The whole picture; the flags are left alone and pile up.
        if (s > 1) {
            render_stretch(emulated_screen, scaled_buffer, 0, 0, 256, 192, 0, 0, 256 * s, 192 * s);
            render_enlarge(emulated_screen, scaled_buffer, 0, 0, 256, 192, 0, 0, 256 * s, 192 * s);
            present(scaled_buffer, 0, 0, xoff, yoff, 256 * s, 192 * s);
        } else {
            present(emulated_screen, 0, 0, xoff, yoff, 256, 192);
        }
        return;
    }

    // Group the dirty cells into rectangles: grow right along the row, then
    // down while the next row has anything dirty under the rectangle.
    band_count = 0;
    for (int y0 = 0; y0 < rows; ++y0) {
        for (int x0 = 0; x0 < columns; ++x0) {
            if (!dsquare[y0 * columns + x0]) continue;
            int x1 = x0;
            while (x1 < columns && dsquare[y0 * columns + x1]) dsquare[y0 * columns + x1++] = 0;
            int y1 = y0 + 1;
            for (; y1 < rows; ++y1) {
                uint8_t *row = dsquare + y1 * columns;
                bool any = false;
                for (int x = x0; x < x1; ++x) any |= row[x] != 0;
                if (!any) break;
                std::memset(row + x0, 0, size_t(x1 - x0));
            }
            if (s == 1)
                present(emulated_screen, 8 * x0, 8 * y0, 8 * x0 + xoff, 8 * y0 + yoff, 8 * (x1 - x0), 8 * (y1 - y0));
            else
                add_bands(x0, y0, x1, y1);
        }
    }

    // Bands that together cover more than the picture cost more than the
    // picture: it is drawn whole then, which gives the same pixels.
    int covered = 0;
    for (int i = 0; i < band_count; ++i) covered += bands[i].size();
    if (covered >= 256 * 192) {
        bands[0] = {0, 0, 256, 192};
        band_count = 1;
    }
    for (int i = 0; i < band_count; ++i) {
        const band &b = bands[i];
        present_area(b.x0, b.y0, b.x1 - b.x0, b.y1 - b.y0, s, xoff, yoff);
    }
}

}  // namespace

void drawscr() {
    // Without a screen (every mode refused) there is nothing to present on.
    if (!screen) return;
    const int s = display.scale;
    // The picture's place on the screen: inside the border when it is shown,
    // the whole centred on the larger full screen (SCREEN_W and SCREEN_H are
    // 0 without a driver).
    int xoff = s * picture_left(), yoff = s * picture_top();
    if (display.fullscreen == 1) {
        xoff = (SCREEN_W - 256 * s) / 2;
        yoff = (SCREEN_H - 192 * s) / 2;
    }
    // The border is enlarged plainly, apart from the picture's scaler.
    if (border_shown) draw_border(s, xoff - s * border_side, yoff - s * border_above, !display.use_dsquares);
    present_picture(s, xoff, yoff);
}
