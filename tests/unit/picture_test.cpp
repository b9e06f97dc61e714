// The picture drawn from changed cells, frame after frame, against a whole
// redraw of the same screen memory: they must agree pixel for pixel at every
// scale, with fine dither on and off, in a window and centred full screen,
// without and with the border.
#include <gtest/gtest.h>

#include <allegro.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "beam/beam.h"
#include "fake_display.h"
#include "rom_machine.h"
#include "screen/screen.h"
#include "tape/tape.h"
#include "ula/ula.h"
#include "z80/z80.h"

namespace {

// One set of the renderer's bitmaps; the test keeps two and swaps them in.
struct Pictures {
    BITMAP *emulated, *scaled, *shown;
};

Pictures make_pictures(int w, int h) {
    Pictures p{create_bitmap(buffer_width, buffer_height), create_bitmap(buffer_width, buffer_height),
               create_bitmap(w, h)};
    clear_bitmap(p.emulated);
    clear_bitmap(p.scaled);
    clear_to_color(p.shown, 0xEE);  // never a pixel value of the picture
    return p;
}

void destroy(const Pictures &p) {
    destroy_bitmap(p.emulated);
    destroy_bitmap(p.scaled);
    destroy_bitmap(p.shown);
}

void use(const Pictures &p) {
    emulated_screen = p.emulated;
    scaled_buffer = p.scaled;
    screen = p.shown;
}

int differing_pixels(BITMAP *a, BITMAP *b) {
    int count = 0;
    for (int y = 0; y < a->h; ++y)
        for (int x = 0; x < a->w; ++x) count += a->line[y][x] != b->line[y][x];
    return count;
}

struct setting {
    int scale;
    bool fine_dither, fullscreen;
    bool border = false;
    std::string name() const {
        return "scale " + std::to_string(scale) + (fine_dither ? ", fine dither" : ", plain dither") +
               (fullscreen ? ", full screen" : ", window") + (border ? ", border" : "");
    }
};

class ChangedCells : public ::testing::Test {
protected:
    void SetUp() override {
        fake_display(0, 0);
        saved = {emulated_screen, scaled_buffer, screen};
        build_dsquare_table();
        setup_colour_priorities();
        build_colour_tables();
        flashon = 0;
    }
    void TearDown() override {
        for (Pictures *p : {&changed, &whole})
            if (p->shown) destroy(*p);
        use(saved);
        no_driver();
        display.use_dsquares = 1;
        display.fine_dither = 1;
        display.fullscreen = 0;
        border_shown = 0;
    }

    // Fresh bitmaps for a setting; every cell is marked, as after a mode change.
    void start(const setting &s) {
        for (Pictures *p : {&changed, &whole})
            if (p->shown) destroy(*p);
        display.scale = s.scale;
        display.fine_dither = s.fine_dither;
        display.fullscreen = s.fullscreen;
        border_shown = s.border;
        const int *full_w = s.border ? framed_fullscreen_width : fullscreen_width;
        const int *full_h = s.border ? framed_fullscreen_height : fullscreen_height;
        const int w = s.fullscreen ? full_w[s.scale] : shown_width() * s.scale;
        const int h = s.fullscreen ? full_h[s.scale] : shown_height() * s.scale;
        if (s.fullscreen) fake_driver(w, h); else no_driver();
        changed = make_pictures(w, h);
        whole = make_pictures(w, h);
        fill_dsquares();
    }

    // One redraw from the changed cells, then a whole redraw of the same
    // memory on the other bitmaps (with the flags kept out of it). Returns
    // how many pixels of the two screens differ.
    int redraw_and_compare() {
        use(changed);
        display.use_dsquares = 1;
        drawbuffer();
        drawscr();
        uint8_t flags[squares];
        std::memcpy(flags, dsquare, squares);
        use(whole);
        display.use_dsquares = 0;
        drawbuffer();
        drawscr();
        std::memcpy(dsquare, flags, squares);
        return differing_pixels(changed.shown, whole.shown);
    }

    Pictures saved{}, changed{}, whole{};
};

// Settings: every scale, fine dither both ways, window and full screen.
std::vector<setting> every_setting() {
    std::vector<setting> all;
    for (int scale = 1; scale <= 5; ++scale)
        for (bool fine : {true, false})
            for (bool full : {false, true}) all.push_back({scale, fine, full});
    return all;
}

// Random writes of pixel bytes (noise, dithers, solid and single-pixel
// lines, so there are staircases and checkerboards) and attributes (FLASH
// included), a few to a few dozen a frame, each marking its cell.
TEST_F(ChangedCells, RandomScreenWritesLookLikeAWholeRedraw) {
    const uint8_t patterns[] = {0x55, 0xAA, 0x00, 0xFF, 0x01, 0x80, 0x0F, 0xF0, 0x18, 0x3C};
    for (const setting &s : every_setting()) {
        std::mt19937 rng(uint32_t(s.scale * 4 + s.fine_dither * 2 + s.fullscreen));
        for (int a = 0x4000; a < 0x5B00; ++a) ram[a] = uint8_t(rng());
        for (int a = 0x5800; a < 0x5B00; ++a) ram[a] &= rng() % 32 ? 0x7F : 0xFF;  // a few flash
        start(s);
        int worst = 0, frame_of_worst = -1;
        for (int frame = 0; frame < 80; ++frame) {
            const int writes = 1 + int(rng() % (frame % 10 == 9 ? 60 : 6));
            for (int w = 0; w < writes; ++w) {
                const bool attribute = rng() % 4 == 0;
                const uint16_t at = attribute ? uint16_t(0x5800 + rng() % 768) : uint16_t(0x4000 + rng() % 6144);
                uint8_t value = rng() % 2 ? uint8_t(rng()) : patterns[rng() % sizeof patterns];
                if (attribute && rng() % 3) value &= 0x7F;
                ram[at] = value;
                dsquare[dsquare_table[at - 0x4000]] = 1;
            }
            if (frame % 16 == 15) flashon = !flashon;
            const int wrong = redraw_and_compare();
            if (wrong > worst) worst = wrong, frame_of_worst = frame;
        }
        EXPECT_EQ(worst, 0) << s.name() << ", first at frame " << frame_of_worst;
    }
}

// The border changed at random T-states (none in some frames, a few in
// most, hundreds in some, stripes that move), with a few screen writes a
// frame: its changed segments and the picture's changed cells together look
// like a whole redraw at every scale, in a window and full screen.
TEST_F(ChangedCells, BorderChangesLookLikeAWholeRedraw) {
    for (int scale = 1; scale <= 5; ++scale) {
        for (bool full : {false, true}) {
            const setting s{scale, true, full, true};
            std::mt19937 rng(uint32_t(scale * 2 + full));
            for (int a = 0x4000; a < 0x5B00; ++a) ram[a] = uint8_t(rng()) & (a < 0x5800 ? 0xFF : 0x7F);
            start(s);
            int worst = 0, frame_of_worst = -1;
            for (int frame = 0; frame < 40; ++frame) {
                line_clock = 0;
                beam_frame_start();
                line_clock = tstates_per_frame;
                const int changes = frame % 5 == 0 ? 0 : int(rng() % (frame % 7 == 6 ? 400 : 6));
                int32_t t = 0;
                for (int i = 0; i < changes && t < tstates_per_frame; ++i) {
                    t += int32_t(rng() % uint32_t(2 * tstates_per_frame / changes));
                    cycles = tstates_per_frame - t;
                    writeula(uint8_t(rng()));
                }
                for (int w = 0; w < 3; ++w) {
                    const uint16_t at = uint16_t(0x4000 + rng() % 6144);
                    ram[at] = uint8_t(rng());
                    dsquare[dsquare_table[at - 0x4000]] = 1;
                }
                const int wrong = redraw_and_compare();
                if (wrong > worst) worst = wrong, frame_of_worst = frame;
            }
            EXPECT_EQ(worst, 0) << s.name() << ", first at frame " << frame_of_worst;
            int unpainted = 0;  // pixels of the window's border the border did not draw
            for (int y = 0; y < whole.shown->h && !full; ++y)
                for (int x = 0; x < whole.shown->w; ++x) {
                    const bool picture = x >= border_side * scale && x < (border_side + 256) * scale &&
                                         y >= border_above * scale && y < (border_above + 192) * scale;
                    unpainted += !picture && whole.shown->line[y][x] == 0xEE;
                }
            EXPECT_EQ(unpainted, 0) << s.name();
        }
    }
}

// The ROM typing lines and printing until the screen scrolls, at scale 5
// and 2: each frame's changed cells are what the ROM wrote.
TEST_F(ChangedCells, TypingAndScrollingLookLikeAWholeRedraw) {
    std::string error;
    ASSERT_TRUE(boot_rom(300, error)) << error;
    for (const setting &s : {setting{5, true, false}, setting{2, false, true}}) {
        start(s);
        int worst = 0, frames = 0;
        auto run = [&](int count) {
            for (int i = 0; i < count; ++i, ++frames) {
                run_frames(1);
                worst = std::max(worst, redraw_and_compare());
            }
        };
        // Letters, digits, spaces and ENTER, held and let go as a person types.
        auto type = [&](const std::string &text) {
            for (char ch : text) {
                const int k = ch == ' '    ? KEY_SPACE
                              : ch == '\n' ? KEY_ENTER
                              : ch == '0'  ? KEY_0
                              : ch >= 'a'  ? KEY_A + (ch - 'a')
                                           : KEY_1 + (ch - '1');
                key[k] = 1;
                run(4);
                key[k] = 0;
                run(4);
            }
        };
        type(s.scale == 5 ? "10 print 1000\n20 goto 10\nrun\n" : "1 print 10\n2 goto 1\nrun\n");
        run(150);                     // the screen fills and the ROM asks whether to scroll
        for (int i = 0; i < 2; ++i) type("y");  // it scrolls
        run(100);
        EXPECT_EQ(worst, 0) << s.name() << " over " << frames << " frames";
        for (int k = 0; k < KEY_MAX; ++k) key[k] = 0;
        resetz80();
        run_frames(300);
    }
}

}  // namespace
