// The palette in which a Spectrum attribute and a pixel bit form one 8-bit
// pixel value (2 x attribute + bit), the drawing priority of each colour, and
// the lookup tables the renderer decodes with: eight finished pixels of a
// character cell come from two 32-bit stores of table[nibble] | attrtable[attr].
#include "ula/ula.h"

#include <array>
#include <cstddef>

PALETTE specpal;
PALETTE pal;
int8_t raw_colour[16];
int8_t colour_table[256];
uint32_t attrtable[128];
uint32_t table[16];
uint8_t fattr[128];

namespace {

// Bits of an attribute byte. FLASH (bit 7) never reaches a pixel value.
constexpr int ink(int a) { return a & 7; }
constexpr int paper(int a) { return (a >> 3) & 7; }
constexpr int bright(int a) { return (a >> 6) & 1; }

// The Spectrum's 16 colours, indexed by BRIGHT * 8 + colour number, on
// Allegro's 0..63 scale: normal colours at level 47, bright ones at 63.
// Colour number bits: 1 blue, 2 red, 4 green.
constexpr std::array<RGB, 16> make_spectrum_colours() {
    std::array<RGB, 16> c{};
    for (int i = 0; i < 16; ++i) {
        const unsigned char level = (i & 8) ? 63 : 47;
        c[i].r = (i & 2) ? level : 0;
        c[i].g = (i & 4) ? level : 0;
        c[i].b = (i & 1) ? level : 0;
        c[i].filler = 0;
    }
    return c;
}
constexpr std::array<RGB, 16> spectrum_colours = make_spectrum_colours();

// Drawing priority of each Spectrum colour (same index): a higher priority is
// drawn over a lower one along diagonal edges. Both blacks share 0; red ranks
// above magenta; every bright colour but black ranks above every normal one.
constexpr int8_t colour_priorities[16] = {0, 1, 3, 2, 4, 5, 6, 7, 0, 8, 11, 10, 12, 13, 14, 15};

// Colour index (BRIGHT * 8 + colour) of pixel value v = 2a + bit.
constexpr int colour_of_pixel(int v) {
    const int a = v >> 1;
    return ((v & 1) ? ink(a) : paper(a)) + 8 * bright(a);
}

// A 32-bit word whose bytes, lowest address first, are b0..b3: the four
// pixels left to right when the word is stored into a bitmap row.
constexpr uint32_t pixels_in_memory_order(uint32_t b0, uint32_t b1, uint32_t b2, uint32_t b3) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return (b0 << 24) | (b1 << 16) | (b2 << 8) | b3;
#else
    return b0 | (b1 << 8) | (b2 << 16) | (b3 << 24);
#endif
}

// Four pixel bits of a display-file nibble, bit 3 leftmost, each 0 or 1.
constexpr std::array<uint32_t, 16> make_bit_table() {
    std::array<uint32_t, 16> t{};
    for (uint32_t p = 0; p < 16; ++p)
        t[p] = pixels_in_memory_order((p >> 3) & 1, (p >> 2) & 1, (p >> 1) & 1, p & 1);
    return t;
}
constexpr std::array<uint32_t, 16> bit_table = make_bit_table();

// Four pixels of value 2a: OR-ed with bit_table they become finished pixels.
constexpr std::array<uint32_t, 128> make_attribute_table() {
    std::array<uint32_t, 128> t{};
    for (uint32_t a = 0; a < 128; ++a) t[a] = (2 * a) * 0x01010101u;
    return t;
}
constexpr std::array<uint32_t, 128> attribute_table = make_attribute_table();

// The attribute a flashing cell shows in its inverted phase: INK and PAPER
// exchanged, BRIGHT kept.
constexpr std::array<uint8_t, 128> make_flash_table() {
    std::array<uint8_t, 128> t{};
    for (int a = 0; a < 128; ++a)
        t[a] = static_cast<uint8_t>((a & 0x40) | ((a >> 3) & 7) | ((a & 7) << 3));
    return t;
}
constexpr std::array<uint8_t, 128> flash_table = make_flash_table();

static_assert(pixels_in_memory_order(1, 0, 1, 0) == bit_table[0xA], "bit 3 is the leftmost pixel");
static_assert(attribute_table[0x47] == 0x8E8E8E8Eu, "all four bytes hold 2a");
static_assert(flash_table[0x47] == 0x78, "ink and paper exchange, BRIGHT stays");
static_assert(colour_of_pixel(2 * 0x47 + 1) == 15, "ink of 0x47 is bright white");

}  // namespace

void setup_colour_priorities() {
    for (int i = 0; i < 16; ++i) raw_colour[i] = colour_priorities[i];
    display.scale = 1;
}

// Priorities come from raw_colour, so setup_colour_priorities runs first.
void build_colour_tables() {
    for (int i = 0; i < PAL_SIZE; ++i) specpal[i] = RGB{0, 0, 0, 0};
    for (int i = 0; i < 16; ++i) specpal[i] = spectrum_colours[i];

    for (int p = 0; p < 16; ++p) table[p] = bit_table[p];

    // Normal attributes first, then the bright ones.
    for (int a = 0; a < 128; ++a) {
        for (int bit = 0; bit < 2; ++bit) {
            const int v = 2 * a + bit;
            pal[v] = specpal[colour_of_pixel(v)];
            colour_table[v] = raw_colour[colour_of_pixel(v)];
        }
        attrtable[a] = attribute_table[a];
    }

    for (int a = 0; a < 128; ++a) fattr[a] = flash_table[a];
}
