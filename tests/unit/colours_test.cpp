#include <gtest/gtest.h>

#include <cstring>

#include "allegro_headless.h"
#include "ula/ula.h"

namespace {

class Colours : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        allegro_headless();
        display.scale = 4;
        setup_colour_priorities();
        build_colour_tables();
    }
};

struct Rgb {
    int r, g, b;
};

void expect_colour(const RGB &got, Rgb want, const char *what) {
    EXPECT_EQ(got.r, want.r) << what;
    EXPECT_EQ(got.g, want.g) << what;
    EXPECT_EQ(got.b, want.b) << what;
}

TEST_F(Colours, SixteenSpectrumColoursThenZero) {
    const Rgb want[16] = {
        {0, 0, 0},    {0, 0, 47},   {47, 0, 0},   {47, 0, 47},   {0, 47, 0},   {0, 47, 47},
        {47, 47, 0},  {47, 47, 47}, {0, 0, 0},    {0, 0, 63},    {63, 0, 0},   {63, 0, 63},
        {0, 63, 0},   {0, 63, 63},  {63, 63, 0},  {63, 63, 63},
    };
    for (int i = 0; i < 16; ++i) {
        SCOPED_TRACE(i);
        expect_colour(specpal[i], want[i], "specpal");
    }
    for (int i = 16; i < 256; ++i) expect_colour(specpal[i], {0, 0, 0}, "specpal beyond 15");
}

TEST_F(Colours, PixelValuePairsPaperThenInk) {
    for (int a = 0; a < 128; ++a) {
        const int bright = (a >> 6) & 1, paper = (a >> 3) & 7, ink = a & 7;
        SCOPED_TRACE(a);
        const RGB &p = specpal[paper + 8 * bright], &i = specpal[ink + 8 * bright];
        expect_colour(pal[2 * a], {p.r, p.g, p.b}, "paper");
        expect_colour(pal[2 * a + 1], {i.r, i.g, i.b}, "ink");
        if (paper == 0) expect_colour(pal[2 * a], {0, 0, 0}, "black paper");
    }
    expect_colour(pal[0], {0, 0, 0}, "pixel value 0");
    expect_colour(pal[0x8F], {63, 63, 63}, "ink of attribute 0x47");
}

TEST_F(Colours, PrioritiesAndScale) {
    const int8_t want[16] = {0, 1, 3, 2, 4, 5, 6, 7, 0, 8, 11, 10, 12, 13, 14, 15};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(raw_colour[i], want[i]) << i;
    EXPECT_EQ(display.scale, 1);
}

TEST_F(Colours, PriorityOfPixelValues) {
    const struct {
        int value;
        int priority;
    } cases[] = {
        {0x00, 0},            // black paper
        {2 * 0x02 + 1, 3},    // red ink
        {2 * 0x03 + 1, 2},    // magenta ink ranks below red
        {2 * 0x41 + 1, 8},    // bright blue ink
        {2 * 0x47 + 1, 15},   // bright white ink
        {2 * 0x40 + 1, 0},    // bright black ink
        {2 * 0x38, 7},        // white paper
        {2 * 0x78, 15},       // bright white paper
        {2 * 0x39 + 1, 1},    // blue ink on white paper
    };
    for (const auto &c : cases) EXPECT_EQ(colour_table[c.value], c.priority) << std::hex << c.value;
}

// Two 32-bit stores must give eight finished pixels, leftmost first.
TEST_F(Colours, TwoStoresGiveEightPixels) {
    EXPECT_EQ(attrtable[0x47], 0x8E8E8E8Eu);
    EXPECT_EQ(table[0xA], 0x00010001u);
    EXPECT_EQ(table[0xF], 0x01010101u);
    EXPECT_EQ(table[0x0], 0u);
    for (int a = 0; a < 128; ++a) {
        for (int pix = 0; pix < 256; ++pix) {
            uint8_t row[8];
            const uint32_t left = table[pix >> 4] | attrtable[a];
            const uint32_t right = table[pix & 15] | attrtable[a];
            std::memcpy(row, &left, 4);
            std::memcpy(row + 4, &right, 4);
            for (int k = 0; k < 8; ++k)
                ASSERT_EQ(row[k], 2 * a + ((pix >> (7 - k)) & 1)) << "attr " << a << " byte " << pix;
        }
    }
}

TEST_F(Colours, FlashExchangesInkAndPaper) {
    EXPECT_EQ(fattr[0x47], 0x78);
    EXPECT_EQ(fattr[0x00], 0x00);
    EXPECT_EQ(fattr[0x0A], 0x11);  // paper 1 ink 2 becomes paper 2 ink 1
    for (int a = 0; a < 128; ++a) {
        EXPECT_EQ(fattr[a] & 0x40, a & 0x40) << a;
        EXPECT_EQ(fattr[a] & 7, (a >> 3) & 7) << a;
        EXPECT_EQ(fattr[fattr[a]], a) << a;
    }
}

}  // namespace
