#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "enlarge/enlarge.h"
#include "fake_display.h"
#include "screen/screen.h"
#include "ula/ula.h"
#include "z80/z80.h"

namespace {

// The decoding tables as the display defines them: table[p] holds the four
// bits of p, leftmost in the lowest byte; attrtable[a] four bytes of 2a;
// fattr[a] a with INK and PAPER exchanged.
void decoding_tables() {
    for (int p = 0; p < 16; ++p)
        table[p] = uint32_t((p >> 3) & 1) | uint32_t((p >> 2) & 1) << 8 | uint32_t((p >> 1) & 1) << 16 |
                   uint32_t(p & 1) << 24;
    for (int a = 0; a < 128; ++a) {
        attrtable[a] = uint32_t(2 * a) * 0x01010101u;
        fattr[a] = uint8_t((a & 0x40) | ((a >> 3) & 7) | ((a & 7) << 3));
    }
}

// Screen memory addresses of pixel (x, y) and of its attribute, from the
// Spectrum's layout rather than from the renderer's walk.
int pixel_address(int x, int y) { return 0x4000 | (y & 0xC0) << 5 | (y & 7) << 8 | (y & 0x38) << 2 | x >> 3; }
int attribute_address(int x, int y) { return 0x5800 + (y >> 3) * 32 + (x >> 3); }

// The pixel value the picture should hold at (x, y) in FLASH phase `inverted`.
int expected_pixel(int x, int y, bool inverted) {
    int attr = ram[attribute_address(x, y)];
    if (inverted && (attr & 0x80)) attr = fattr[attr & 0x7F];
    const int bit = (ram[pixel_address(x, y)] >> (7 - (x & 7))) & 1;
    return 2 * (attr & 0x7F) + bit;
}

void scribble_screen_memory(uint32_t seed) {
    for (int a = 0x4000; a < 0x5B00; ++a) {
        seed = seed * 1664525u + 1013904223u;
        ram[a] = uint8_t(seed >> 24);
    }
}

int first_mismatch(bool inverted) {
    for (int y = 0; y < 192; ++y)
        for (int x = 0; x < 256; ++x)
            if (getpixel(emulated_screen, x, y) != expected_pixel(x, y, inverted)) return y * 256 + x;
    return -1;
}

struct call {
    std::string kind;  // "stretch", "enlarge", "blit"
    BITMAP *from, *to;
    std::vector<int> args;
    bool operator==(const call &o) const {
        return kind == o.kind && from == o.from && to == o.to && args == o.args;
    }
};
std::vector<call> calls;

void record_stretch(BITMAP *s, BITMAP *d, int a, int b, int c, int e, int f, int g, int h, int i) {
    calls.push_back({"stretch", s, d, {a, b, c, e, f, g, h, i}});
}
void record_enlarge(BITMAP *s, BITMAP *d, int a, int b, int c, int e, int f, int g, int h, int i) {
    calls.push_back({"enlarge", s, d, {a, b, c, e, f, g, h, i}});
}
void record_blit(BITMAP *s, BITMAP *d, int a, int b, int c, int e, int f, int g) {
    calls.push_back({"blit", s, d, {a, b, c, e, f, g}});
}
void record_enlarge_part(BITMAP *s, BITMAP *d, int w, int h, int n, int a, int b, int c, int e) {
    calls.push_back({"part", s, d, {w, h, n, a, b, c, e}});
}

// The three calls that present one area of source pixels x, y, w, h at
// scale n, shown at offset (xoff, yoff).
std::vector<call> area(int x, int y, int w, int h, int n, int xoff = 0, int yoff = 0) {
    return {{"stretch", emulated_screen, scaled_buffer, {x, y, w, h, n * x, n * y, n * w, n * h}},
            {"part", emulated_screen, scaled_buffer, {256, 192, n, n * x, n * y, n * (x + w), n * (y + h)}},
            {"blit", scaled_buffer, screen, {n * x, n * y, n * x + xoff, n * y + yoff, n * w, n * h}}};
}
std::vector<call> operator+(std::vector<call> a, const std::vector<call> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string describe(const std::vector<call> &list) {
    std::string out;
    for (const call &c : list) {
        out += c.kind + "(";
        for (int v : c.args) out += std::to_string(v) + ",";
        out += ") ";
    }
    return out;
}

class Renderer : public ::testing::Test {
protected:
    void SetUp() override {
        fake_display(256, 192);
        build_dsquare_table();
        decoding_tables();
        std::memset(ram, 0, ram_size);
        std::memset(dsquare, 0, squares);
        flashon = 0;
        display.scale = 1;
        display.fullscreen = 0;
        display.use_dsquares = 1;
        clear_to_color(emulated_screen, 0xEE);
        clear_bitmap(scaled_buffer);
        calls.clear();
    }
    void TearDown() override {
        render_stretch = stretch_blit;
        render_enlarge = do_smart_enlarge;
        render_blit = blit;
        render_enlarge_part = smart_enlarge_part;
        no_driver();
    }
    void record() {
        render_stretch = record_stretch;
        render_enlarge = record_enlarge;
        render_blit = record_blit;
        render_enlarge_part = record_enlarge_part;
    }
};

// ---- drawbuffer ----

TEST_F(Renderer, DecodesEveryPixelWithItsAttribute) {
    for (uint32_t seed : {1u, 77u, 4242u}) {
        scribble_screen_memory(seed);
        for (int i = 0; i < 768; ++i) ram[0x5800 + i] &= 0x7F;  // no FLASH
        display.use_dsquares = 0;
        drawbuffer();
        EXPECT_EQ(first_mismatch(false), -1) << "seed " << seed;
    }
}

struct cell_case {
    const char *what;
    uint8_t attr, pixels;
    int flash_phase;
    uint8_t first_two[2];  // the leftmost two pixel values of the cell's top line
};

TEST_F(Renderer, AttributeBitsBecomePixelValues) {
    const cell_case cases[] = {
        {"black on black", 0x00, 0x80, 0, {0x01, 0x00}},
        {"white paper, black ink", 0x38, 0x80, 0, {0x71, 0x70}},
        {"bright white ink on black", 0x47, 0x80, 0, {0x8F, 0x8E}},
        {"bright blue paper, yellow ink", 0x4E, 0x40, 0, {0x9C, 0x9D}},
        {"FLASH, phase 0 shows the attribute", 0xB8, 0x80, 0, {0x71, 0x70}},
        {"FLASH, phase 1 exchanges ink and paper", 0xB8, 0x80, 1, {0x0F, 0x0E}},
        {"FLASH with BRIGHT, phase 1 keeps BRIGHT", 0xC7, 0x80, 1, {0xF1, 0xF0}},
        {"FLASH, phase 1, ink equal to paper", 0x92, 0xFF, 1, {0x25, 0x25}},
    };
    for (const cell_case &c : cases) {
        ram[0x4000] = c.pixels;
        ram[0x5800] = c.attr;
        flashon = c.flash_phase;
        dsquare[0] = 1;
        drawbuffer();
        EXPECT_EQ(getpixel(emulated_screen, 0, 0), c.first_two[0]) << c.what;
        EXPECT_EQ(getpixel(emulated_screen, 1, 0), c.first_two[1]) << c.what;
    }
}

TEST_F(Renderer, FlashingCellsFollowThePhaseAndOthersDoNot) {
    scribble_screen_memory(99);  // about half the cells have FLASH set
    display.use_dsquares = 0;
    for (int phase : {1, 0, 1}) {
        flashon = phase;
        drawbuffer();
        EXPECT_EQ(first_mismatch(phase == 1), -1) << "phase " << phase;
    }
}

TEST_F(Renderer, OnlyDirtyCellsAreDecoded) {
    scribble_screen_memory(5);
    for (int i = 0; i < 768; ++i) ram[0x5800 + i] &= 0x7F;
    const int dirty[] = {0, 31, 32 * 7 + 8, 32 * 8 + 8, 767};
    for (int cell : dirty) dsquare[cell] = 1;
    drawbuffer();
    for (int cell = 0; cell < 768; ++cell) {
        const bool wanted = std::find(std::begin(dirty), std::end(dirty), cell) != std::end(dirty);
        int wrong = 0;
        for (int y = cell / 32 * 8; y < cell / 32 * 8 + 8; ++y)
            for (int x = cell % 32 * 8; x < cell % 32 * 8 + 8; ++x) {
                const int v = getpixel(emulated_screen, x, y);
                wrong += wanted ? v != expected_pixel(x, y, false) : v != 0xEE;
            }
        EXPECT_EQ(wrong, 0) << "cell " << cell << (wanted ? " (dirty)" : " (clean)");
        // Decoding only reads the flags; presenting clears them.
        EXPECT_EQ(dsquare[cell], wanted ? 1 : 0) << "cell " << cell;
    }
}

TEST_F(Renderer, FlashingCellsAreMarkedOnEveryFrame) {
    ram[0x5800 + 100] = 0x80;
    ram[0x5800 + 101] = 0x7F;
    drawbuffer();
    EXPECT_EQ(dsquare[100], 1);
    EXPECT_EQ(dsquare[101], 0);
    drawscr();
    EXPECT_EQ(dsquare[100], 0);
    drawbuffer();
    EXPECT_EQ(dsquare[100], 1) << "a flashing cell is redrawn without any write";
    ram[0x5800 + 100] = 0x00;
    drawscr();
    drawbuffer();
    EXPECT_EQ(dsquare[100], 0) << "without FLASH it is marked no more";
}

TEST_F(Renderer, NothingOutsideThePictureIsWritten) {
    scribble_screen_memory(3);
    display.use_dsquares = 0;
    drawbuffer();
    for (int y = 0; y < 200; ++y) EXPECT_EQ(getpixel(emulated_screen, 256, y), 0xEE) << y;
    for (int x = 0; x < 260; ++x) EXPECT_EQ(getpixel(emulated_screen, x, 192), 0xEE) << x;
}

// ---- drawscr: the rectangles and the calls that present them ----

struct present_case {
    const char *what;
    int scale, fullscreen, driver_w, driver_h;
    std::vector<int> dirty;  // cells, row * 32 + column
    std::vector<call> expected;
};

// Every other cell of every fourth row: 96 rectangles of one cell.
std::vector<int> every_other_cell() {
    std::vector<int> cells;
    for (int row = 0; row < 24; row += 4)
        for (int column = 0; column < 32; column += 2) cells.push_back(row * 32 + column);
    return cells;
}

TEST_F(Renderer, PresentsEachRectangleWithItsExactAreas) {
    BITMAP *const E = emulated_screen, *const X = screen;
    // A rectangle of cells gives two areas, clipped to the picture: a band
    // along its rows, 24 pixels wider on each side and 2 taller, and one
    // along its columns, 2 wider and 24 taller. One holding the other is
    // drawn alone.
    const present_case cases[] = {
        {"one cell at row 5 column 10, scale 2, window", 2, 0, 512, 384, {5 * 32 + 10},
         area(56, 38, 56, 12, 2) + area(78, 16, 12, 56, 2)},
        {"the same cell at scale 1 goes straight to the screen", 1, 0, 256, 192, {5 * 32 + 10},
         {{"blit", E, X, {80, 40, 80, 40, 8, 8}}}},
        {"full screen at scale 2 on 640 x 480 is centred", 2, 1, 640, 480, {5 * 32 + 10},
         area(56, 38, 56, 12, 2, 64, 48) + area(78, 16, 12, 56, 2, 64, 48)},
        {"full screen at scale 5 on 1280 x 1024: the corner cell", 5, 1, 1280, 1024, {0},
         area(0, 0, 32, 10, 5, 0, 32) + area(0, 0, 10, 32, 5, 0, 32)},
        {"full screen at scale 1 on 640 x 480", 1, 1, 640, 480, {0},
         {{"blit", E, X, {0, 0, 192, 144, 8, 8}}}},
        {"a window ignores the driver's size", 3, 0, 1280, 1024, {32 + 1},
         area(0, 6, 40, 12, 3) + area(6, 0, 12, 40, 3)},
        {"row 1 joins under columns 0..3; its column 7 is a rectangle of its own", 1, 0, 256, 192,
         {0, 1, 2, 3, 32 + 2, 32 + 7},
         {{"blit", E, X, {0, 0, 0, 0, 32, 16}}, {"blit", E, X, {56, 8, 56, 8, 8, 8}}}},
        {"row 1 dirty only outside columns 0..3: two rectangles", 1, 0, 256, 192, {0, 1, 2, 3, 32 + 5},
         {{"blit", E, X, {0, 0, 0, 0, 32, 8}}, {"blit", E, X, {40, 8, 40, 8, 8, 8}}}},
        {"a row with a gap ends the rectangle", 2, 0, 512, 384, {3 * 32 + 4, 4 * 32 + 4, 6 * 32 + 4},
         area(8, 22, 56, 20, 2) + area(30, 0, 12, 64, 2) + area(8, 46, 56, 12, 2) + area(30, 24, 12, 56, 2)},
        {"the last row and column", 4, 0, 1024, 768, {767}, area(224, 182, 32, 10, 4) + area(246, 160, 10, 32, 4)},
        {"a full-width row: the band along the columns holds the other", 2, 0, 512, 384,
         {32 * 10, 32 * 10 + 31}, area(0, 78, 32, 12, 2) + area(0, 56, 10, 56, 2) + area(224, 78, 32, 12, 2) +
                                       area(246, 56, 10, 56, 2)},
        {"rows 4 to 19 across the picture: one band", 3, 0, 768, 576, {},
         area(0, 8, 256, 176, 3)},
        {"areas covering more than the picture: the whole picture once", 2, 0, 512, 384, every_other_cell(),
         area(0, 0, 256, 192, 2)},
    };
    record();
    for (const present_case &c : cases) {
        calls.clear();
        std::memset(dsquare, 0, squares);
        for (int cell : c.dirty) dsquare[cell] = 1;
        if (c.dirty.empty()) std::memset(dsquare + 4 * 32, 1, 16 * 32);
        display.scale = c.scale;
        display.fullscreen = c.fullscreen;
        fake_driver(c.driver_w, c.driver_h);
        drawscr();
        EXPECT_EQ(calls, c.expected) << c.what << "\n got      " << describe(calls) << "\n expected "
                                     << describe(c.expected);
        int left = 0;
        for (int i = 0; i < squares; ++i) left += dsquare[i];
        EXPECT_EQ(left, 0) << c.what << ": every presented flag is cleared";
    }
}

TEST_F(Renderer, RectanglesGrowOverTheWholeDirtyArea) {
    record();
    struct growth {
        const char *what;
        std::vector<int> dirty;
        std::vector<std::vector<int>> blits;  // source x, y, width, height at scale 1
    } cases[] = {
        {"everything dirty is one rectangle", {}, {{0, 0, 256, 192}}},
        {"a column of cells", {5, 37, 69, 101}, {{40, 0, 8, 32}}},
        {"a clean cell under the rectangle is taken along", {0, 1, 32 + 1, 64 + 0, 64 + 1},
         {{0, 0, 16, 24}}},
        {"a dirty cell right of a joined row keeps its flag for later", {0, 32 + 0, 32 + 1},
         {{0, 0, 8, 16}, {8, 8, 8, 8}}},
        {"a staircase", {0, 32 + 1, 64 + 2}, {{0, 0, 8, 8}, {8, 8, 8, 8}, {16, 16, 8, 8}}},
    };
    for (auto &c : cases) {
        calls.clear();
        if (c.dirty.empty())
            fill_dsquares();
        else {
            std::memset(dsquare, 0, squares);
            for (int cell : c.dirty) dsquare[cell] = 1;
        }
        display.scale = 1;
        drawscr();
        std::vector<std::vector<int>> got;
        for (const call &k : calls) got.push_back({k.args[0], k.args[1], k.args[4], k.args[5]});
        EXPECT_EQ(got, c.blits) << c.what << ": " << describe(calls);
    }
}

TEST_F(Renderer, WholePictureModeLeavesTheFlagsAlone) {
    record();
    display.use_dsquares = 0;
    dsquare[10] = 1;
    for (int scale : {1, 3}) {
        calls.clear();
        display.scale = scale;
        fake_driver(1024, 768);
        display.fullscreen = 1;
        drawscr();
        const int xoff = (1024 - 256 * scale) / 2, yoff = (768 - 192 * scale) / 2;
        std::vector<call> expected;
        if (scale > 1) {
            expected.push_back({"stretch", emulated_screen, scaled_buffer, {0, 0, 256, 192, 0, 0, 768, 576}});
            expected.push_back({"enlarge", emulated_screen, scaled_buffer, {0, 0, 256, 192, 0, 0, 768, 576}});
            expected.push_back({"blit", scaled_buffer, screen, {0, 0, xoff, yoff, 768, 576}});
        } else {
            expected.push_back({"blit", emulated_screen, screen, {0, 0, xoff, yoff, 256, 192}});
        }
        EXPECT_EQ(calls, expected) << "scale " << scale << ": " << describe(calls);
        EXPECT_EQ(dsquare[10], 1);
    }
}

TEST_F(Renderer, FullScreenWithoutADriverCountsAsSizeZero) {
    record();
    display.fullscreen = 1;
    display.scale = 2;
    dsquare[0] = 1;
    drawscr();
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls[2].args[2], -256);
    EXPECT_EQ(calls[2].args[3], -192);
}

// ---- the pixels that reach a memory screen ----

TEST_F(Renderer, AtScaleOneTheScreenGetsTheDecodedCellsOnly) {
    scribble_screen_memory(11);
    for (int i = 0; i < 768; ++i) ram[0x5800 + i] &= 0x7F;
    clear_to_color(screen, 0xEE);
    dsquare[2 * 32 + 3] = 1;
    dsquare[23 * 32 + 31] = 1;
    drawbuffer();
    drawscr();
    int wrong = 0, touched = 0;
    for (int y = 0; y < 192; ++y)
        for (int x = 0; x < 256; ++x) {
            const int cell = y / 8 * 32 + x / 8;
            const bool dirty = cell == 2 * 32 + 3 || cell == 23 * 32 + 31;
            const int v = getpixel(screen, x, y);
            if (dirty) wrong += v != expected_pixel(x, y, false);
            else touched += v != 0xEE;
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(touched, 0);
}

TEST_F(Renderer, AtScaleTwoEachPixelBecomesABlock) {
    // The scaler is left out here: with one colour pair and no staircase it
    // draws nothing anyway, and this checks only the plain enlargement.
    render_enlarge_part = [](BITMAP *, BITMAP *, int, int, int, int, int, int, int) {};
    destroy_bitmap(screen);
    screen = create_bitmap(512, 384);
    clear_to_color(screen, 0xEE);
    ram[0x4000 + 32 * 5 + 10] = 0xA5;  // row 5 of the top third, column 10: line 40
    ram[0x5800 + 5 * 32 + 10] = 0x38;
    dsquare[5 * 32 + 10] = 1;
    display.scale = 2;
    drawbuffer();
    putpixel(emulated_screen, 56, 40, 0x33);  // as if decoded before, at the band's corner
    drawscr();
    for (int x = 0; x < 8; ++x) {
        const int want = 0x70 + ((0xA5 >> (7 - x)) & 1);
        for (int d = 0; d < 4; ++d)
            EXPECT_EQ(getpixel(screen, 160 + 2 * x + d % 2, 80 + d / 2), want) << "pixel " << x;
    }
    EXPECT_EQ(getpixel(screen, 111, 80), 0xEE) << "left of the band along the rows";
    EXPECT_EQ(getpixel(screen, 112, 80), 0x33) << "the band is stretched from the picture";
    EXPECT_EQ(getpixel(screen, 155, 31), 0xEE) << "left of the band along the columns";
}

}  // namespace
