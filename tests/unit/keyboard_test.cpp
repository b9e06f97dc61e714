// The keyboard matrix and the ULA port, read the way a Spectrum program reads
// them: host keys held in Allegro's key[] array, an IN from a port.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "ula/ula.h"
#include "z80/z80.h"

namespace {

void release_all() {
    for (int k = 0; k < KEY_MAX; ++k) key[k] = 0;
}

// The port that selects half-row h alone: A(8 + h) low, every other line high.
uint16_t row_port(int h) { return uint16_t(~(0x100 << h) & 0xFFFE); }

class Keyboard : public ::testing::Test {
protected:
    void SetUp() override { release_all(); }
    void TearDown() override { release_all(); }
};

// A Spectrum key, by its position on the matrix.
struct spot {
    int row;
    int bit;
};

// Each host key and the Spectrum keys it presses, written out from the
// Spectrum's keyboard wiring (not from the program's tables).
struct mapping {
    const char *name;
    int host;
    std::vector<spot> presses;
};

const std::vector<mapping> &all_mappings() {
    static const std::vector<mapping> m = {
        // 0xFEFE: CAPS SHIFT, Z, X, C, V
        {"LSHIFT", KEY_LSHIFT, {{0, 0}}},
        {"Z", KEY_Z, {{0, 1}}},
        {"X", KEY_X, {{0, 2}}},
        {"C", KEY_C, {{0, 3}}},
        {"V", KEY_V, {{0, 4}}},
        // 0xFDFE: A, S, D, F, G
        {"A", KEY_A, {{1, 0}}},
        {"S", KEY_S, {{1, 1}}},
        {"D", KEY_D, {{1, 2}}},
        {"F", KEY_F, {{1, 3}}},
        {"G", KEY_G, {{1, 4}}},
        // 0xFBFE: Q, W, E, R, T
        {"Q", KEY_Q, {{2, 0}}},
        {"W", KEY_W, {{2, 1}}},
        {"E", KEY_E, {{2, 2}}},
        {"R", KEY_R, {{2, 3}}},
        {"T", KEY_T, {{2, 4}}},
        // 0xF7FE: 1, 2, 3, 4, 5
        {"1", KEY_1, {{3, 0}}},
        {"2", KEY_2, {{3, 1}}},
        {"3", KEY_3, {{3, 2}}},
        {"4", KEY_4, {{3, 3}}},
        {"5", KEY_5, {{3, 4}}},
        // 0xEFFE: 0, 9, 8, 7, 6
        {"0", KEY_0, {{4, 0}}},
        {"9", KEY_9, {{4, 1}}},
        {"8", KEY_8, {{4, 2}}},
        {"7", KEY_7, {{4, 3}}},
        {"6", KEY_6, {{4, 4}}},
        // 0xDFFE: P, O, I, U, Y
        {"P", KEY_P, {{5, 0}}},
        {"O", KEY_O, {{5, 1}}},
        {"I", KEY_I, {{5, 2}}},
        {"U", KEY_U, {{5, 3}}},
        {"Y", KEY_Y, {{5, 4}}},
        // 0xBFFE: ENTER, L, K, J, H
        {"ENTER", KEY_ENTER, {{6, 0}}},
        {"L", KEY_L, {{6, 1}}},
        {"K", KEY_K, {{6, 2}}},
        {"J", KEY_J, {{6, 3}}},
        {"H", KEY_H, {{6, 4}}},
        // 0x7FFE: SPACE, SYMBOL SHIFT, M, N, B
        {"SPACE", KEY_SPACE, {{7, 0}}},
        {"LCONTROL", KEY_LCONTROL, {{7, 1}, {4, 0}}},  // SYMBOL SHIFT and 0
        {"M", KEY_M, {{7, 2}}},
        {"N", KEY_N, {{7, 3}}},
        {"B", KEY_B, {{7, 4}}},
        // The cursor keys press the bare digits 5 to 8.
        {"LEFT", KEY_LEFT, {{3, 4}}},
        {"DOWN", KEY_DOWN, {{4, 4}}},
        {"UP", KEY_UP, {{4, 3}}},
        {"RIGHT", KEY_RIGHT, {{4, 2}}},
        // SYMBOL SHIFT alone, CAPS SHIFT alone, DELETE.
        {"RCONTROL", KEY_RCONTROL, {{7, 1}}},
        {"ALT", KEY_ALT, {{7, 1}}},
        {"ALTGR", KEY_ALTGR, {{7, 1}}},
        {"RSHIFT", KEY_RSHIFT, {{0, 0}}},
        {"BACKSPACE", KEY_BACKSPACE, {{0, 0}, {4, 0}}},
    };
    return m;
}

// The five bits half-row h should read (active low) when the given Spectrum keys are down.
int expected_row(int h, const std::vector<spot> &down) {
    int r = 0x1F;
    for (const spot &s : down)
        if (s.row == h) r &= ~(1 << s.bit);
    return r;
}

class EachHostKey : public ::testing::TestWithParam<mapping> {
protected:
    void SetUp() override { release_all(); }
    void TearDown() override { release_all(); }
};

// One host key held: every half-row reads its own bits and nothing else's,
// through readula, through z80in and through scan.
TEST_P(EachHostKey, PressesExactlyItsSpectrumKeys) {
    const mapping &m = GetParam();
    key[m.host] = 1;
    int all_rows = 0x1F;
    for (int h = 0; h < 8; ++h) {
        const int want = expected_row(h, m.presses);
        all_rows &= want;
        SCOPED_TRACE("half-row " + std::to_string(h));
        EXPECT_EQ(readula(row_port(h)), want);
        EXPECT_EQ(z80in(row_port(h)), want);
        EXPECT_EQ(scan(h), ~want & 0x1F);
    }
    // 0x00FE selects all eight half-rows at once.
    EXPECT_EQ(readula(0x00FE), all_rows);
    // No half-row selected: nothing can be read.
    EXPECT_EQ(readula(0xFFFE), 0x1F);
}

INSTANTIATE_TEST_SUITE_P(Matrix, EachHostKey, ::testing::ValuesIn(all_mappings()),
                         [](const ::testing::TestParamInfo<mapping> &i) { return std::string(i.param.name); });

// The readings a Spectrum program must see for these keys and ports.
struct reading {
    std::vector<int> held;
    uint16_t port;
    int value;
};

TEST_F(Keyboard, ListedReadings) {
    const std::vector<reading> cases = {
        {{KEY_LSHIFT, KEY_Z}, 0xFEFE, 0x1C},
        {{}, 0xFEFE, 0x1F},
        {{KEY_LCONTROL}, 0x7FFE, 0x1D},
        {{KEY_LCONTROL}, 0xEFFE, 0x1E},
        {{KEY_LEFT}, 0xF7FE, 0x0F},
        {{KEY_V}, 0x00FE, 0x0F},
        {{KEY_Z, KEY_9}, 0x00FE, 0x1D},           // the same column in two half-rows
        {{KEY_Z, KEY_A}, 0xFCFE, 0x1C},           // two half-rows selected together
        {{KEY_Z, KEY_A}, 0xFEFE, 0x1D},           // only the first of them selected
        {{KEY_Q, KEY_P, KEY_B}, 0x5BFE, 0x0E},    // rows 2, 5 and 7
        {{KEY_RCONTROL, KEY_K}, 0x7FFE, 0x1D},    // SYMBOL SHIFT ...
        {{KEY_RCONTROL, KEY_K}, 0xBFFE, 0x1B},    // ... with K: plus
        {{KEY_RCONTROL, KEY_K}, 0xEFFE, 0x1F},    // and no 0 beside them
        {{KEY_BACKSPACE}, 0xEEFE, 0x1E},          // CAPS SHIFT and 0 share bit 0
        {{KEY_DOWN, KEY_UP, KEY_RIGHT}, 0xEFFE, 0x03},
        {{KEY_LEFT, KEY_5}, 0xF7FE, 0x0F},        // two host keys on one Spectrum key
    };
    for (const reading &c : cases) {
        release_all();
        for (int k : c.held) key[k] = 1;
        SCOPED_TRACE("port " + std::to_string(c.port));
        EXPECT_EQ(readula(c.port), c.value);
        EXPECT_EQ(z80in(c.port), c.value);
    }
}

// The ROM reads a shifted key only when exactly two keys are down (the shift
// and one other); a third key makes it ignore the lot.
TEST_F(Keyboard, SymbolShiftCombinationsCountAsTwoKeys) {
    const std::vector<std::pair<std::vector<int>, int>> cases = {
        {{KEY_RCONTROL, KEY_K}, 2},
        {{KEY_ALT, KEY_K}, 2},
        {{KEY_ALTGR, KEY_P}, 2},
        {{KEY_RSHIFT, KEY_5}, 2},
        {{KEY_BACKSPACE}, 2},
        {{KEY_LCONTROL, KEY_K}, 3},  // left Control is SYMBOL SHIFT and 0
        {{KEY_LCONTROL, KEY_RCONTROL}, 2},
        {{}, 0},
    };
    for (const auto &c : cases) {
        release_all();
        for (int k : c.first) key[k] = 1;
        int count = 0;
        for (int h = 0; h < 8; ++h)
            for (int b = 0; b < 5; ++b) count += !(readula(row_port(h)) & (1 << b));
        EXPECT_EQ(count, c.second);
    }
}

// Every even port, with every key held: bits 5 to 7 read 0, and each bit of
// the key columns reads 0 exactly when at least one half-row is selected.
TEST_F(Keyboard, EveryEvenPortWithEveryKeyHeld) {
    for (const mapping &m : all_mappings()) key[m.host] = 1;
    for (int p = 0; p < 0x10000; p += 2) {
        const int want = (p >> 8) == 0xFF ? 0x1F : 0x00;
        ASSERT_EQ(readula(uint16_t(p)), want) << "port " << p;
    }
}

// Hot keys are not Spectrum keys.
TEST_F(Keyboard, HotKeysPressNothing) {
    for (int k : {KEY_ESC, KEY_F1, KEY_F3, KEY_F4, KEY_F5, KEY_F6, KEY_F7, KEY_F8, KEY_F9, KEY_F10,
                  KEY_F11, KEY_F12, KEY_PLUS_PAD, KEY_MINUS_PAD, KEY_SLASH_PAD}) {
        release_all();
        key[k] = 1;
        EXPECT_EQ(readula(0x00FE), 0x1F) << "key " << k;
    }
}

TEST_F(Keyboard, OddPortsReadZero) {
    for (const mapping &m : all_mappings()) key[m.host] = 1;
    for (uint16_t p : {0x0001, 0x00FF, 0xFEFF, 0x7FFF, 0xFFFF, 0x1F, 0xFE01}) EXPECT_EQ(z80in(p), 0) << p;
    release_all();
    for (uint16_t p : {0x0001, 0x00FF, 0xFFFF}) EXPECT_EQ(z80in(p), 0) << p;
}

TEST_F(Keyboard, WritesReachTheUlaOnlyThroughEvenPorts) {
    struct write {
        uint16_t port;
        uint8_t value;
        uint8_t uladat_after;
    };
    const write steps[] = {
        {0x00FE, 0x18, 0x18},
        {0x00FF, 0x07, 0x18},  // odd: ignored
        {0xFFFE, 0xA5, 0xA5},  // the high byte plays no part
        {0x1234, 0x00, 0x00},  // any even port
        {0xFFFF, 0xFF, 0x00},
        {0x7FFE, 0xFF, 0xFF},  // all eight bits are kept
    };
    uladat = 0;
    for (const write &w : steps) {
        z80out(w.port, w.value);
        EXPECT_EQ(uladat, w.uladat_after) << "port " << w.port;
    }
}

}  // namespace
