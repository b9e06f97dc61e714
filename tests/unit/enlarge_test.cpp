#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "allegro_headless.h"
#include "enlarge/enlarge.h"
#include "ula/ula.h"

namespace {

// Pixel values (2 x attribute + bit) and their priorities.
constexpr int black = 0x00;        // paper of attribute 0, priority 0
constexpr int white = 2 * 0x38;    // white paper, priority 7
constexpr int black_ink = white + 1;  // black ink on white paper, priority 0
constexpr int dither_white = 2 * 0x39;      // white paper of blue-on-white, priority 7
constexpr int dither_blue = 2 * 0x39 + 1;   // its blue ink, priority 1

using Bitmap = std::unique_ptr<BITMAP, void (*)(BITMAP *)>;

Bitmap make_bitmap(int w, int h) {
    Bitmap b(create_bitmap(w, h), destroy_bitmap);
    clear_bitmap(b.get());
    return b;
}

Bitmap picture(int w, int h, const std::function<int(int, int)> &value) {
    Bitmap b = make_bitmap(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b->line[y][x] = static_cast<uint8_t>(value(x, y));
    return b;
}

struct Area {
    int x1, y1, x2, y2;
};

// The whole source stretched n-fold into a new destination, then smart
// enlarge over the area (the whole picture unless given).
Bitmap stretched(BITMAP *src, int n) {
    Bitmap d = make_bitmap(src->w * n, src->h * n);
    stretch_blit(src, d.get(), 0, 0, src->w, src->h, 0, 0, src->w * n, src->h * n);
    return d;
}

Bitmap smart(BITMAP *src, int n, Area a) {
    Bitmap d = stretched(src, n);
    do_smart_enlarge(src, d.get(), a.x1, a.y1, a.x2, a.y2, a.x1 * n, a.y1 * n, a.x2 * n, a.y2 * n);
    return d;
}

Bitmap smart(BITMAP *src, int n) { return smart(src, n, {0, 0, src->w, src->h}); }

int differences(BITMAP *a, BITMAP *b) {
    int count = 0;
    for (int y = 0; y < a->h; ++y)
        for (int x = 0; x < a->w; ++x) count += a->line[y][x] != b->line[y][x];
    return count;
}

class SmartEnlarge : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        allegro_headless();
        setup_colour_priorities();
        build_colour_tables();
    }
    void SetUp() override { display.fine_dither = 1; }
};

// A white region above black whose edge steps two pixels per row: row r is
// white from column 2r + 8. Pass 0 draws a fan left of every step (the
// streak is on the row above), so in the enlargement row Y turns white at
// 2Y + 6n + 2: a straight slope of two destination pixels per row. Scanning
// right to left meets black after white: black has the lower priority and is
// no one-line feature, so pass 1 adds nothing, nor do the column passes.
constexpr int stair_w = 48, stair_h = 12;
int stair_edge(int r) { return 2 * r + 8; }

int expected_stair_start(int n, int Y) {
    if (Y < n) return n * stair_edge(0);  // the top row has no row above it
    return 2 * Y + 6 * n + 2;
}

class Staircase : public SmartEnlarge, public ::testing::WithParamInterface<int> {};

TEST_P(Staircase, EdgeBecomesAStraightSlope) {
    const int n = GetParam();
    Bitmap src = picture(stair_w, stair_h, [](int x, int y) { return x >= stair_edge(y) ? white : black; });
    Bitmap d = smart(src.get(), n);
    for (int Y = 0; Y < d->h; ++Y) {
        const int start = expected_stair_start(n, Y);
        for (int X = 0; X < d->w; ++X)
            ASSERT_EQ(d->line[Y][X], X >= start ? white : black) << "scale " << n << " at " << X << "," << Y;
    }
}

// The mirror image: now scanning right to left finds the steps and pass 1
// draws the same fans mirrored; pass 0 meets black after white and adds nothing.
TEST_P(Staircase, MirrorImageIsSmoothedByTheRightToLeftPass) {
    const int n = GetParam();
    Bitmap src = picture(stair_w, stair_h,
                         [](int x, int y) { return stair_w - 1 - x >= stair_edge(y) ? white : black; });
    Bitmap d = smart(src.get(), n);
    for (int Y = 0; Y < d->h; ++Y) {
        const int start = expected_stair_start(n, Y);
        for (int X = 0; X < d->w; ++X)
            ASSERT_EQ(d->line[Y][X], d->w - 1 - X >= start ? white : black)
                << "scale " << n << " at " << X << "," << Y;
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, Staircase, ::testing::Values(2, 3, 4, 5));

// At scale 3 the step at (x, y) becomes a white line from 3x - 4 on row 3y
// and one from 3x - 2 on row 3y + 1; row 3y + 2 keeps the stretch.
TEST_F(SmartEnlarge, StaircaseStepAtScale3) {
    Bitmap src = picture(stair_w, stair_h, [](int x, int y) { return x >= stair_edge(y) ? white : black; });
    Bitmap d = smart(src.get(), 3);
    const int y = 5, x = stair_edge(y);
    EXPECT_EQ(d->line[3 * y][3 * x - 5], black);
    EXPECT_EQ(d->line[3 * y][3 * x - 4], white);
    EXPECT_EQ(d->line[3 * y + 1][3 * x - 3], black);
    EXPECT_EQ(d->line[3 * y + 1][3 * x - 2], white);
    EXPECT_EQ(d->line[3 * y + 2][3 * x - 1], black);
    EXPECT_EQ(d->line[3 * y + 2][3 * x], white);
}

// A one-pixel diagonal of black ink (priority 0) on white paper (7): each of
// its pixels lies between two white pixels on both neighbouring rows and
// columns, so all four passes smooth it, and at scale 3 it becomes a band of
// the destination pixels within two of the enlarged diagonal.
TEST_F(SmartEnlarge, LowPriorityOnePixelDiagonalIsSmoothed) {
    constexpr int w = 28, h = 20, x0 = 4;
    Bitmap src = picture(w, h, [](int x, int y) { return x - y == x0 ? black_ink : white; });
    Bitmap d = smart(src.get(), 3);
    // Away from the line's ends at the picture's top and bottom.
    for (int Y = 6; Y < 3 * h - 6; ++Y) {
        for (int X = 0; X < 3 * w; ++X) {
            const bool on_band = std::abs(X - Y - 3 * x0) <= 2;
            ASSERT_EQ(d->line[Y][X], on_band ? black_ink : white) << X << "," << Y;
        }
    }
}

// Block (x - 1, y) of the enlargement compared with the plain stretch.
bool block_changed(BITMAP *src, int n, int x, int y) {
    Bitmap plain = stretched(src, n);
    Bitmap d = smart(src, n);
    for (int Y = n * y; Y < n * y + n; ++Y)
        for (int X = n * x; X < n * x + n; ++X)
            if (d->line[Y][X] != plain->line[Y][X]) return true;
    return false;
}

// Row y is black up to x - 1 and white from x. At (x, y), after the long
// black run, white pixels lie diagonally behind it on both neighbouring rows
// (a wedge): nothing is drawn into the black block left of it. With a white
// diagonal neighbour on one side only it is a staircase step and the block
// is smoothed; when white also goes on straight below the pixel, the edge
// turns vertical there and no fan is drawn either.
TEST_F(SmartEnlarge, WedgeAndOppositeSideDrawNothing) {
    constexpr int w = 40, h = 12, y = 5, x = 20;
    const struct {
        const char *name;
        std::function<bool(int, int)> white_at;  // rows other than y
        bool tip_changes;
    } cases[] = {
        {"notch: rows beside black up to x - 2", [](int px, int) { return px >= x - 1; }, false},
        {"arrowhead: white only at x - 1 beside",
         [](int px, int py) { return (py == y - 1 || py == y + 1) && px == x - 1; }, false},
        {"step: above from x - 2, below from x + 2",
         [](int px, int py) { return px >= (py < y ? x - 2 : x + 2); }, true},
        {"step into a vertical edge: above from x - 2, below from x",
         [](int px, int py) { return px >= (py < y ? x - 2 : x); }, false},
        {"step: white only at x - 1 above", [](int px, int py) { return py == y - 1 && px == x - 1; }, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Bitmap src = picture(w, h, [&](int px, int py) {
            if (py == y) return px >= x ? white : black;
            return c.white_at(px, py) ? white : black;
        });
        for (int n = 2; n <= 5; ++n) EXPECT_EQ(block_changed(src.get(), n, x - 1, y), c.tip_changes) << "scale " << n;
    }
}

// A streak of white behind the pixel on the row above; the run of white
// ahead of the pixel on its own row limits the slope M: three ahead gives 4,
// exactly seven leaves the streak's length, eight or more gives 9. Streaks
// are followed 16 pixels at most. At scale 3 the fan is 2M pixels on row 3y
// and M on row 3y + 1, left of the pixel's block.
TEST_F(SmartEnlarge, ForwardRunLimitsTheSlope) {
    constexpr int w = 64, h = 8, y = 3, x = 24;
    const struct {
        int streak, ahead, m;
    } cases[] = {
        {12, 0, 1}, {12, 1, 2}, {12, 3, 4}, {12, 6, 7}, {12, 7, 12}, {12, 8, 9}, {12, 20, 9},
        {5, 7, 5},  {5, 20, 5}, {20, 7, 16}, {16, 7, 16}, {15, 7, 15},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::Message() << "streak " << c.streak << " ahead " << c.ahead);
        Bitmap src = picture(w, h, [&](int px, int py) {
            if (py == y - 1) return px >= x - c.streak && px <= x - 1 ? white : black;
            if (py == y) return px >= x && px <= x + c.ahead ? white : black;
            return black;
        });
        Bitmap d = smart(src.get(), 3);
        for (int X = 0; X < 3 * x; ++X) {
            ASSERT_EQ(d->line[3 * y][X], X >= 3 * x - 2 * c.m ? white : black) << X;
            ASSERT_EQ(d->line[3 * y + 1][X], X >= 3 * x - c.m ? white : black) << X;
            ASSERT_EQ(d->line[3 * y + 2][X], black) << X;
        }
    }
}

// Ahead of the pixel, positions past the source bitmap count as pixel value
// 0 (black). A black one-pixel line on white with a streak of 12 on the row
// above, whose last part runs into the right edge after three pixels, keeps
// a forward run of eight or more: M = 9.
TEST_F(SmartEnlarge, ForwardRunPastTheEdgeCountsAsBlack) {
    constexpr int w = 27, h = 8, y = 4, x = 24;
    Bitmap src = picture(w, h, [](int px, int py) {
        if (py == y - 1 && px >= x - 12 && px <= x - 1) return black_ink;
        if (py == y && px >= x) return black_ink;
        return white;
    });
    Bitmap d = smart(src.get(), 3);
    constexpr int m = 9;
    for (int X = 0; X < 3 * x; ++X) {
        ASSERT_EQ(d->line[3 * y][X], X >= 3 * x - 2 * m ? black_ink : white) << X;
        ASSERT_EQ(d->line[3 * y + 1][X], X >= 3 * x - m ? black_ink : white) << X;
    }
}

// The fine checkerboard needs a blue pixel standing alone on its row between
// white pixels (or the bitmap's edge), with blue diagonally behind it on both
// sides: then its own block becomes a checkerboard. Two blue pixels side by
// side are no dither. A pixel that begins a line of the area is compared with
// the end of the line before, so it can be a centre too; the fill then stays
// inside the area's columns.
TEST_F(SmartEnlarge, FineCheckerboardNeedsALonePixelInARow) {
    constexpr int w = 16, h = 14, y = 6, n = 4;
    const struct {
        const char *name;
        int x;           // the centre's column
        bool pair;       // a second blue pixel right of it
        int area_x1;     // the area's left corner
        bool checkered;  // the centre's block becomes a checkerboard
    } cases[] = {
        {"lone", 6, false, 0, true},
        {"pair", 6, true, 0, false},
        {"lone at the right edge", w - 1, false, 0, true},
        {"lone where the area begins", 6, false, 6, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const int x = c.x;
        Bitmap src = picture(w, h, [&](int px, int py) {
            const bool blue = (py == y && (px == x - 2 || px == x || (c.pair && px == x + 1))) ||
                              ((py == y - 1 || py == y + 1) && px == x - 1);
            return blue ? dither_blue : dither_white;
        });
        Bitmap plain = stretched(src.get(), n);
        Bitmap d = smart(src.get(), n, {c.area_x1, 0, w, h});
        int odd_white = 0;
        for (int Y = n * y; Y < n * y + n; ++Y)
            for (int X = n * x; X < n * x + n; ++X) {
                if ((X + Y) & 1)
                    odd_white += d->line[Y][X] == dither_white;
                else
                    ASSERT_EQ(d->line[Y][X], dither_blue) << X << "," << Y;
            }
        EXPECT_EQ(odd_white, c.checkered ? n * n / 2 : 0);
        if (c.area_x1 == x) {
            int outside = 0;  // block (x - 1, y), left of the area
            for (int Y = n * y; Y < n * y + n; ++Y)
                for (int X = n * (x - 1); X < n * x; ++X) outside += d->line[Y][X] != plain->line[Y][X];
            EXPECT_EQ(outside, 0);
        }
    }
}

// Many pixel values, all of one colour (white paper under every ink, and
// both blacks): nothing is drawn at any scale.
TEST_F(SmartEnlarge, OneColourDrawsNothing) {
    std::mt19937 rng(7);
    const struct {
        const char *name;
        std::function<int(int, int)> value;
    } cases[] = {
        {"white paper", [&](int, int) { return 2 * (0x38 + static_cast<int>(rng() % 8)); }},
        {"black and bright black", [&](int, int) { return rng() % 2 ? 0 : 2 * 0x40 + 1; }},
    };
    for (const auto &c : cases) {
        Bitmap src = picture(64, 48, c.value);
        for (int n = 2; n <= 5; ++n) {
            Bitmap plain = stretched(src.get(), n);
            Bitmap d = smart(src.get(), n);
            EXPECT_EQ(differences(d.get(), plain.get()), 0) << c.name << " scale " << n;
        }
    }
}

// A one-pixel checkerboard of blue ink on white paper at scale 4: with the
// fine dither every blue pixel is a fill centre and the inside becomes a
// checkerboard of single pixels, blue where X + Y is even; without it the
// 4 x 4 blocks stay.
TEST_F(SmartEnlarge, CheckerboardAtScale4) {
    constexpr int w = 32, h = 24, n = 4;
    Bitmap src = picture(w, h, [](int x, int y) { return (x + y) & 1 ? dither_white : dither_blue; });
    for (int fine = 0; fine <= 1; ++fine) {
        display.fine_dither = fine;
        Bitmap plain = stretched(src.get(), n);
        Bitmap d = smart(src.get(), n);
        for (int Y = 2 * n; Y < n * (h - 2); ++Y) {
            for (int X = 2 * n; X < n * (w - 2); ++X) {
                const int want = fine ? ((X + Y) & 1 ? dither_white : dither_blue) : plain->line[Y][X];
                ASSERT_EQ(d->line[Y][X], want) << "fine " << fine << " at " << X << "," << Y;
            }
        }
    }
}

// The fine checkerboard follows absolute destination parity, so blocks
// join seamlessly at odd scales too.
TEST_F(SmartEnlarge, CheckerboardJoinsAtEveryScale) {
    constexpr int w = 24, h = 20;
    Bitmap src = picture(w, h, [](int x, int y) { return (x + y) & 1 ? dither_white : dither_blue; });
    for (int n = 2; n <= 5; ++n) {
        Bitmap d = smart(src.get(), n);
        for (int Y = 2 * n; Y < n * (h - 2); ++Y)
            for (int X = 2 * n; X < n * (w - 2); ++X)
                ASSERT_EQ(d->line[Y][X], (X + Y) & 1 ? dither_white : dither_blue)
                    << "scale " << n << " at " << X << "," << Y;
    }
}

// The fine checkerboard paints only the 3 x 3 neighbourhoods of the dither's
// pixels: white paper elsewhere, also where rows and columns are exchanged,
// keeps its blocks.
TEST_F(SmartEnlarge, FineCheckerboardStaysAtTheDither) {
    constexpr int w = 40, h = 32, px0 = 20, px1 = 27, py0 = 2, py1 = 7;
    Bitmap src = picture(w, h, [](int x, int y) {
        const bool patch = x >= px0 && x <= px1 && y >= py0 && y <= py1;
        return patch && !((x + y) & 1) ? dither_blue : dither_white;
    });
    for (int n = 2; n <= 5; ++n) {
        Bitmap plain = stretched(src.get(), n);
        Bitmap d = smart(src.get(), n);
        int inside = 0;
        for (int Y = 0; Y < d->h; ++Y)
            for (int X = 0; X < d->w; ++X) {
                const int x = X / n, y = Y / n;
                const bool near = x >= px0 - 1 && x <= px1 + 1 && y >= py0 - 1 && y <= py1 + 1;
                if (near)
                    inside += d->line[Y][X] != plain->line[Y][X];
                else
                    ASSERT_EQ(d->line[Y][X], plain->line[Y][X]) << "scale " << n << " at " << X << "," << Y;
            }
        EXPECT_GT(inside, 0) << "scale " << n;
    }
}

// An update rectangle inside a dither: the fill's second colour is the pixel
// the scan passed just before, also when that pixel opened the call or
// continued the previous line's run without being a change point. No colour
// other than the dither's two may appear.
TEST_F(SmartEnlarge, CheckerboardFillInsideAnAreaUsesOnlyItsColours) {
    constexpr int w = 64, h = 48;
    Bitmap src = picture(w, h, [](int x, int y) { return (x + y) & 1 ? dither_white : dither_blue; });
    const Area areas[] = {
        {14, 13, 36, 35},  // a cell rectangle with its margins: starts on white
        {14, 13, 35, 35},  // odd width: each line starts with the previous line's colour
        {13, 13, 34, 30},
        {15, 12, 40, 33},
    };
    for (const Area &a : areas) {
        for (int n = 2; n <= 5; ++n) {
            Bitmap d = smart(src.get(), n, a);
            for (int Y = 0; Y < d->h; ++Y)
                for (int X = 0; X < d->w; ++X) {
                    const int v = d->line[Y][X];
                    ASSERT_TRUE(v == dither_blue || v == dither_white)
                        << "area " << a.x1 << "," << a.y1 << " scale " << n << " value " << v << " at " << X << ","
                        << Y;
                }
        }
    }
}

// Update rectangles at the picture's edges, with the renderer's margins
// (2 left, 4 right, 3 above and below), reach outside the source. The
// source is a window into a larger bitmap whose surroundings hold other
// colours, and the destination a window with a guard frame around it: the
// result must be the same as from a source standing alone, and the frame
// must stay untouched.
TEST_F(SmartEnlarge, MarginsAtThePictureEdges) {
    constexpr int g = 24, guard = 0xEE;
    std::mt19937 rng(1234);
    // Cells of random attributes, some filled with random pixels, some with
    // a one-pixel checkerboard, so that fans and fills reach every edge.
    auto random_picture = [&](BITMAP *b) {
        for (int cy = 0; cy < b->h / 8; ++cy)
            for (int cx = 0; cx < b->w / 8; ++cx) {
                const int attr = rng() & 0x7F;
                const bool dither = rng() % 3 == 0;
                for (int y = 8 * cy; y < 8 * cy + 8; ++y)
                    for (int x = 8 * cx; x < 8 * cx + 8; ++x) {
                        const int bit = dither ? (x + y) & 1 : rng() % 2;
                        b->line[y][x] = static_cast<uint8_t>(2 * attr + bit);
                    }
            }
    };
    Bitmap alone = make_bitmap(256, 192);
    random_picture(alone.get());
    Bitmap src_parent = make_bitmap(256 + 2 * g, 192 + 2 * g);
    for (int y = 0; y < src_parent->h; ++y)
        for (int x = 0; x < src_parent->w; ++x) src_parent->line[y][x] = static_cast<uint8_t>(rng());
    Bitmap src(create_sub_bitmap(src_parent.get(), g, g, 256, 192), destroy_bitmap);
    blit(alone.get(), src.get(), 0, 0, 0, 0, 256, 192);

    const struct {
        int x0, y0, x1, y1;  // character cells, x1 and y1 exclusive
    } rects[] = {
        {0, 10, 1, 11},  {12, 0, 13, 1},  {31, 10, 32, 11}, {12, 23, 13, 24},
        {0, 0, 1, 1},    {31, 0, 32, 1},  {0, 23, 1, 24},   {31, 23, 32, 24},
        {0, 0, 32, 24},  {0, 5, 32, 7},   {3, 0, 5, 24},
    };
    for (int n = 2; n <= 5; ++n) {
        const int k = 8 * n;
        for (int fine = 0; fine <= 1; ++fine) {
            display.fine_dither = fine;
            Bitmap ref = stretched(alone.get(), n);
            Bitmap parent = make_bitmap(256 * n + 2 * g, 192 * n + 2 * g);
            clear_to_color(parent.get(), guard);
            Bitmap dest(create_sub_bitmap(parent.get(), g, g, 256 * n, 192 * n), destroy_bitmap);
            blit(ref.get(), dest.get(), 0, 0, 0, 0, 256 * n, 192 * n);
            for (const auto &r : rects) {
                do_smart_enlarge(alone.get(), ref.get(), 8 * r.x0 - 2, 8 * r.y0 - 3, 8 * r.x1 + 4, 8 * r.y1 + 3,
                                 k * r.x0 - 2 * n, k * r.y0 - 3 * n, k * r.x1 + 4 * n, k * r.y1 + 3 * n);
                do_smart_enlarge(src.get(), dest.get(), 8 * r.x0 - 2, 8 * r.y0 - 3, 8 * r.x1 + 4, 8 * r.y1 + 3,
                                 k * r.x0 - 2 * n, k * r.y0 - 3 * n, k * r.x1 + 4 * n, k * r.y1 + 3 * n);
            }
            Bitmap copy = make_bitmap(256 * n, 192 * n);
            blit(dest.get(), copy.get(), 0, 0, 0, 0, 256 * n, 192 * n);
            EXPECT_EQ(differences(copy.get(), ref.get()), 0) << "scale " << n << " fine " << fine;
            EXPECT_GT(differences(copy.get(), stretched(alone.get(), n).get()), 0) << "nothing was drawn";
            int touched = 0;
            for (int y = 0; y < parent->h; ++y)
                for (int x = 0; x < parent->w; ++x) {
                    const bool inside = x >= g && x < g + 256 * n && y >= g && y < g + 192 * n;
                    touched += !inside && parent->line[y][x] != guard;
                }
            EXPECT_EQ(touched, 0) << "scale " << n << " fine " << fine;
        }
    }
}

// Areas far outside, empty, or at scale 1 leave the destination alone.
TEST_F(SmartEnlarge, DegenerateAreasDrawNothing) {
    Bitmap src = picture(32, 24, [](int x, int y) { return x > y ? white : (x + y) & 1 ? dither_blue : black; });
    const struct {
        const char *name;
        int x1, y1, x2, y2, n;
    } cases[] = {
        {"left of the picture", -40, 0, -20, 24, 3},
        {"below the picture", 0, 40, 32, 60, 3},
        {"empty", 10, 10, 9, 9, 3},
        {"scale 1", 0, 0, 32, 24, 1},
    };
    for (const auto &c : cases) {
        Bitmap plain = stretched(src.get(), 3);
        Bitmap d = stretched(src.get(), 3);
        do_smart_enlarge(src.get(), d.get(), c.x1, c.y1, c.x2, c.y2, c.x1 * c.n, c.y1 * c.n, c.x2 * c.n,
                         c.y2 * c.n);
        EXPECT_EQ(differences(d.get(), plain.get()), 0) << c.name;
    }
}

// ---- The scaler against a plain, slow scaler written straight from the
// algorithm, on whole pictures and update rectangles. ----

// Source pixel, or -1 outside the bitmap.
int pixel_at(BITMAP *b, int x, int y) { return x < 0 || y < 0 || x >= b->w || y >= b->h ? -1 : b->line[y][x]; }

// Every destination pixel of block (t, r) on a square of the given parity.
void plain_paint(BITMAP *dest, int n, int t, int r, int colour, int parity) {
    for (int Y = r * n; Y < r * n + n; ++Y)
        for (int X = t * n; X < t * n + n; ++X)
            if (((X + Y) & 1) == parity) putpixel(dest, X, Y, colour);
}

void plain_fine_checkerboard(BITMAP *src, BITMAP *dest, int n, int x1, int x2, int x, int y, int c, int R) {
    for (int r = std::max(y - 1, 0); r <= std::min(y + 1, src->h - 1); ++r)
        for (int t = std::max(x - 1, x1); t <= std::min(x + 1, x2); ++t) {
            if ((r == y) != (t == x)) {
                plain_paint(dest, n, t, r, c, 0);
            } else {
                if (r != y && t == x + 1 && pixel_at(src, t, r) == R) continue;
                plain_paint(dest, n, t, r, R, 1);
            }
        }
}

// The scaler done the slow way: every pixel through a bounds-checked read,
// every line through Allegro's hline and vline, every checkerboard pixel
// through putpixel, the four passes and their steps one after another.
void plain_smart_enlarge(BITMAP *src, BITMAP *dest, int x1, int y1, int x2, int y2, int n, bool fine) {
    bool started = false;  // a pixel has been read in this call
    int q = 0;             // priority of the last pixel read
    int last = 0;          // value of the last pixel read
    for (int pass = 0; pass < 4; ++pass) {
        const bool columns = pass >= 2;
        const int f = pass & 1 ? -1 : 1;
        const int ulo = columns ? y1 : x1, uhi = columns ? y2 : x2;
        const int vlo = columns ? x1 : y1, vhi = columns ? x2 : y2;
        auto value = [&](int u, int v) { return columns ? pixel_at(src, v, u) : pixel_at(src, u, v); };
        auto priority = [&](int u, int v) {
            const int c = value(u, v);
            return c < 0 ? -1 : colour_table[c];
        };
        for (int v = vlo; v < vhi; ++v) {
            // R, the pixel value of the run behind, starts every line as the
            // last pixel read; when the line's first pixel goes on with that
            // run, it takes its place.
            int R = last, L = 0;
            bool first = true;
            for (int i = 0; i <= uhi - ulo; ++i) {
                const int u = f > 0 ? ulo + i : uhi - i;
                const int c = value(u, v);
                if (c < 0) {  // outside the bitmap: skipped
                    R = last;
                    continue;
                }
                const int p = colour_table[c];
                last = c;
                const bool line_start = first;
                first = false;
                if (!started) {  // the call's first pixel opens the first run
                    started = true;
                    q = p;
                    R = c;
                    continue;
                }
                if (p == q) {
                    if (line_start) R = c;
                    continue;
                }
                // A change point: the run behind had priority q0 and began at L0.
                const int q0 = q, L0 = L;
                q = p;
                L = i;
                const int R0 = R;
                R = c;
                // Spreads over a higher priority only as a one-line feature.
                const int a = priority(u, v - 1), b = priority(u, v + 1);
                if (!(p > q0 || (a == q0 && b == q0))) continue;
                const bool lone = !(value(u + f, v) >= 0 && priority(u + f, v) != q0);
                // Diagonal streaks behind, on the next and the previous line.
                int sn = 0, sp = 0;
                for (int j = 1; j <= 16; ++j) {
                    if (sn == j - 1 && priority(u - j * f, v + 1) == p) ++sn;
                    if (sp == j - 1 && priority(u - j * f, v - 1) == p) ++sp;
                    if (sn < j && sp < j) break;
                }
                int m = std::max(sn, sp);
                if (m == 0) continue;
                if (i - L0 <= 1) {  // a one-pixel run behind: maybe a dither
                    if (!columns && fine && lone && sn == 1 && sp == 1 && p < q0)
                        plain_fine_checkerboard(src, dest, n, x1, x2, u, v, c, R0);
                    continue;
                }
                // A staircase edge: streak on one side only, the other side
                // not of the pixel's priority, the slope limited by the run ahead.
                if (sn != 0 && sp != 0) continue;
                if (priority(u, sn == 0 ? v + 1 : v - 1) == p) continue;
                int J = 9;
                for (int j = 1; j <= 8; ++j) {
                    const int ahead = value(u + j * f, v);
                    if (colour_table[ahead < 0 ? 0 : ahead] != p) {
                        J = j;
                        break;
                    }
                }
                if (J < m && J != 8) m = J;
                const int D = u * n;
                for (int k = 0; k <= n - 2; ++k) {
                    const int len = m * (n - 1 - k);
                    const int line = v * n + (sp != 0 ? k : n - 1 - k);
                    switch (pass) {
                        case 0: hline(dest, D - len, line, D - 1, c); break;
                        case 1: hline(dest, D + n - 1 + len, line, D + n, c); break;
                        case 2: vline(dest, line, D - len, D - 1, c); break;
                        default: vline(dest, line, D + n - 1 + len, D + n, c); break;
                    }
                }
            }
        }
    }
}

// A Spectrum screen (display file and attributes) decoded into the top-left
// corner of a bitmap.
void decode_screen(const std::vector<uint8_t> &scr, BITMAP *b) {
    for (int y = 0; y < 192; ++y)
        for (int x = 0; x < 256; ++x) {
            const int offset = ((y & 0xC0) << 5) | ((y & 7) << 8) | ((y & 0x38) << 2) | (x >> 3);
            const int bit = (scr[offset] >> (7 - (x & 7))) & 1;
            b->line[y][x] = static_cast<uint8_t>(2 * (scr[6144 + (y >> 3) * 32 + (x >> 3)] & 0x7F) + bit);
        }
}

std::vector<uint8_t> load_test_screen() {
    std::vector<uint8_t> scr(6912, 0);
    FILE *f = std::fopen(BRENVIK_TEST_DATA "/testscreen.scr", "rb");
    EXPECT_NE(f, nullptr) << "no test screen";
    if (f) {
        EXPECT_EQ(std::fread(scr.data(), 1, scr.size(), f), scr.size());
        std::fclose(f);
    }
    return scr;
}

// Pictures the renderer might show: noise (about half of all positions are
// change points), cells of random attributes holding noise, dithers, solid
// colour or stripes, and large shapes of few colours with long runs and
// staircases of every slope.
std::vector<uint8_t> noise_screen(std::mt19937 &rng) {
    std::vector<uint8_t> scr(6912);
    for (auto &b : scr) b = static_cast<uint8_t>(rng());
    return scr;
}

void fill_picture(BITMAP *b, const std::function<int(int, int)> &value) {
    for (int y = 0; y < 192; ++y)
        for (int x = 0; x < 256; ++x) b->line[y][x] = static_cast<uint8_t>(value(x, y));
}

// The cells share a few attributes, so that colours meet again across cells.
void cells_picture(BITMAP *b, std::mt19937 &rng) {
    int attrs[3];
    for (int &a : attrs) a = rng() & 0x7F;
    int attr[24][32], kind[24][32], slope[24][32];
    for (int cy = 0; cy < 24; ++cy)
        for (int cx = 0; cx < 32; ++cx) {
            attr[cy][cx] = attrs[rng() % 3];
            kind[cy][cx] = rng() % 4;
            slope[cy][cx] = 1 + rng() % 5;
        }
    fill_picture(b, [&](int x, int y) {
        const int cy = y / 8, cx = x / 8;
        int bit = 0;
        switch (kind[cy][cx]) {
            case 0: bit = rng() & 1; break;
            case 1: bit = (x + y + cx) & 1; break;
            case 2: bit = (x * slope[cy][cx] + y) / 4 & 1; break;
            default: bit = 1; break;
        }
        return 2 * attr[cy][cx] + bit;
    });
}

void shapes_picture(BITMAP *b, std::mt19937 &rng) {
    struct Edge {
        int a, b, c;
    };
    std::vector<Edge> edges;
    for (int k = 0; k < 9; ++k)
        edges.push_back({static_cast<int>(rng() % 41) - 20, static_cast<int>(rng() % 41) - 20,
                         static_cast<int>(rng() % 6000) - 3000});
    int attrs[4];
    for (int &a : attrs) a = rng() & 0x7F;
    fill_picture(b, [&](int x, int y) {
        int inside = 0;
        for (const Edge &e : edges) inside += e.a * x + e.b * y + e.c > 0;
        return 2 * attrs[(y / 8 + x / 64) & 3] + (inside & 1);
    });
}

class AgainstPlainScaler : public SmartEnlarge {
protected:
    // The renderer's areas: the whole picture, and rectangles of character
    // cells with their margins, at the corners, the edges and inside.
    static std::vector<Area> renderer_areas() {
        const struct {
            int x0, y0, x1, y1;  // character cells, x1 and y1 exclusive
        } rects[] = {
            {0, 0, 1, 1},   {31, 23, 32, 24}, {31, 0, 32, 1}, {0, 23, 1, 24}, {5, 7, 9, 8},
            {12, 0, 20, 3}, {0, 11, 32, 13},  {30, 4, 32, 20},
        };
        std::vector<Area> areas{{0, 0, 256, 192}};
        for (const auto &r : rects) areas.push_back({8 * r.x0 - 2, 8 * r.y0 - 3, 8 * r.x1 + 4, 8 * r.y1 + 3});
        return areas;
    }

    // Runs both scalers over each area in turn, on copies of the plain
    // stretch, and compares the destinations after every area.
    // The destination is as large as the source's bitmap, enlarged when the
    // source holds just the picture.
    static void compare(BITMAP *src, const char *name, const std::vector<Area> &areas = renderer_areas()) {
        for (int n = 2; n <= 5; ++n) {
            const bool tight = src->w == 256;
            const int dest_w = tight ? 256 * n : src->w, dest_h = tight ? 192 * n : src->h;
            Bitmap plain = make_bitmap(dest_w, dest_h);
            stretch_blit(src, plain.get(), 0, 0, 256, 192, 0, 0, 256 * n, 192 * n);
            for (int fine = 0; fine <= 1; ++fine) {
                display.fine_dither = fine;
                Bitmap want = make_bitmap(dest_w, dest_h), got = make_bitmap(dest_w, dest_h);
                blit(plain.get(), want.get(), 0, 0, 0, 0, dest_w, dest_h);
                blit(plain.get(), got.get(), 0, 0, 0, 0, dest_w, dest_h);
                for (const Area &a : areas) {
                    plain_smart_enlarge(src, want.get(), a.x1, a.y1, a.x2, a.y2, n, fine);
                    do_smart_enlarge(src, got.get(), a.x1, a.y1, a.x2, a.y2, n * a.x1, n * a.y1, n * a.x2, n * a.y2);
                    ASSERT_EQ(differences(got.get(), want.get()), 0)
                        << name << " scale " << n << " fine " << fine << " area " << a.x1 << "," << a.y1 << " - "
                        << a.x2 << "," << a.y2;
                }
                EXPECT_GT(differences(got.get(), plain.get()), 0) << name << " scale " << n << ": nothing drawn";
            }
        }
    }

    // Each picture twice: in the emulator's large buffers (zeros right of
    // and below the picture), and in bitmaps of exactly the picture's size.
    static void compare_both_layouts(const std::function<void(BITMAP *)> &draw, const char *name) {
        Bitmap large = make_bitmap(buffer_width, buffer_height);
        draw(large.get());
        compare(large.get(), name);
        Bitmap tight = make_bitmap(256, 192);
        blit(large.get(), tight.get(), 0, 0, 0, 0, 256, 192);
        compare(tight.get(), name);
    }
};

TEST_F(AgainstPlainScaler, TestScreen) {
    const std::vector<uint8_t> scr = load_test_screen();
    compare_both_layouts([&](BITMAP *b) { decode_screen(scr, b); }, "test screen");
}

TEST_F(AgainstPlainScaler, NoiseScreens) {
    std::mt19937 rng(2024);
    for (int k = 0; k < 3; ++k) {
        const std::vector<uint8_t> scr = noise_screen(rng);
        compare_both_layouts([&](BITMAP *b) { decode_screen(scr, b); }, "noise");
    }
}

TEST_F(AgainstPlainScaler, CellScreens) {
    std::mt19937 rng(99);
    for (int k = 0; k < 3; ++k) compare_both_layouts([&](BITMAP *b) { cells_picture(b, rng); }, "cells");
}

TEST_F(AgainstPlainScaler, ShapeScreens) {
    std::mt19937 rng(5);
    for (int k = 0; k < 3; ++k) compare_both_layouts([&](BITMAP *b) { shapes_picture(b, rng); }, "shapes");
}

// Areas of one or two positions per line, lines of one position, areas
// hanging over every edge of the bitmap with only a sliver inside.
TEST_F(AgainstPlainScaler, SmallAndOverhangingAreas) {
    std::mt19937 rng(77);
    Bitmap tight = make_bitmap(256, 192);
    cells_picture(tight.get(), rng);
    const std::vector<Area> areas = {
        {-20, 5, 0, 40},   {-20, 5, 1, 40},    {255, 30, 300, 90}, {254, 30, 300, 90}, {40, -30, 90, 0},
        {40, -30, 90, 1},  {40, 191, 90, 230}, {40, 190, 90, 230}, {10, 10, 11, 11},   {10, 10, 10, 60},
        {10, 10, 60, 10},  {-5, -5, 3, 3},     {250, 186, 262, 198}, {-40, -40, 300, 240}, {0, 0, 256, 192},
    };
    compare(tight.get(), "cells", areas);
}

// Part of the whole picture's smoothing: inside the part the same pixels as
// the whole pass, outside it nothing touched. Parts at the corners, the
// edges and inside, down to one destination pixel, in both layouts.
TEST_F(AgainstPlainScaler, PartsDrawWhatTheWholePictureDrawsThere) {
    std::mt19937 rng(31);
    const std::vector<uint8_t> scr = noise_screen(rng);
    const struct {
        int x0, y0, x1, y1;  // source pixels, x1 and y1 exclusive
    } parts[] = {{0, 0, 256, 192}, {0, 0, 32, 10},   {224, 182, 256, 192}, {100, 50, 101, 51},
                 {56, 38, 112, 50}, {78, 16, 90, 72}, {0, 90, 256, 100},    {250, 0, 256, 192}};
    for (const bool large : {true, false}) {
        Bitmap src = make_bitmap(large ? buffer_width : 256, large ? buffer_height : 192);
        decode_screen(scr, src.get());
        for (int n = 2; n <= 5; ++n)
            for (int fine = 0; fine <= 1; ++fine) {
                display.fine_dither = fine;
                auto plain = [&] {
                    Bitmap d = make_bitmap(256 * n, 192 * n);
                    stretch_blit(src.get(), d.get(), 0, 0, 256, 192, 0, 0, 256 * n, 192 * n);
                    return d;
                };
                const Bitmap want = plain(), before = plain();
                do_smart_enlarge(src.get(), want.get(), 0, 0, 256, 192, 0, 0, 256 * n, 192 * n);
                for (const auto &p : parts) {
                    // A sliver of a destination pixel's width on some, whole pixels on others.
                    const int X1 = n * p.x0 + (p.x1 - p.x0 == 1), X2 = n * p.x1, Y1 = n * p.y0, Y2 = n * p.y1;
                    Bitmap got = plain();
                    smart_enlarge_part(src.get(), got.get(), 256, 192, n, X1, Y1, X2, Y2);
                    int wrong = 0, touched = 0;
                    for (int Y = 0; Y < 192 * n; ++Y)
                        for (int X = 0; X < 256 * n; ++X) {
                            const bool in = X >= X1 && X < X2 && Y >= Y1 && Y < Y2;
                            wrong += in && got->line[Y][X] != want->line[Y][X];
                            touched += !in && got->line[Y][X] != before->line[Y][X];
                        }
                    EXPECT_EQ(wrong, 0) << (large ? "large" : "tight") << " scale " << n << " fine " << fine
                                        << " part " << p.x0 << "," << p.y0 << " - " << p.x1 << "," << p.y1;
                    EXPECT_EQ(touched, 0) << "outside the part, scale " << n << " part " << p.x0 << "," << p.y0;
                }
            }
    }
}

}  // namespace
