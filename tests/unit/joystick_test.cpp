// The joysticks read the way a game reads them, IN from port 0x1F or from the
// keyboard's half-rows, with a fake stick behind Allegro's joystick driver
// and in keys mode; and the pad map's parser.
#include <gtest/gtest.h>

#include <allegro.h>

#include <string>
#include <vector>

#include "joystick/joystick.h"
#include "ula/ula.h"
#include "z80/z80.h"

namespace {

uint32_t fake_switches = 0;
int fake_stick_count = 1;
int find_calls = 0;

int fake_find() {
    ++find_calls;
    return fake_stick_count;
}
uint32_t fake_read() { return fake_switches; }

void release_all() {
    for (int k = 0; k < KEY_MAX; ++k) key[k] = 0;
}

class Kempston : public ::testing::Test {
protected:
    void SetUp() override {
        find_sticks = fake_find;
        read_stick = fake_read;
        fake_switches = 0;
        fake_stick_count = 1;
        find_calls = 0;
        release_all();
    }
    void TearDown() override {
        release_all();
        start_joystick(joystick_mode::none);
    }
};

// Ports a game may use for the interface (any high byte) and odd ports that stay 0.
constexpr uint16_t kempston_ports[] = {0x001F, 0xFF1F, 0x7F1F, 0x3E1F};
constexpr uint16_t other_odd_ports[] = {0x001D, 0x003F, 0x00FF, 0x1F01, 0x1F1D};

void expect_port(uint8_t want) {
    for (uint16_t p : kempston_ports) EXPECT_EQ(z80in(p), want) << "port " << std::hex << p;
    for (uint16_t p : other_odd_ports) EXPECT_EQ(z80in(p), 0) << "port " << std::hex << p;
}

TEST_F(Kempston, PortReadsTheStickActiveHigh) {
    start_joystick(joystick_mode::kempston);
    struct { uint32_t switches; const char *what; } cases[] = {
        {0x00, "centred"},      {0x01, "right"},         {0x02, "left"},
        {0x04, "down"},         {0x08, "up"},            {0x10, "fire"},
        {0x09, "up and right"}, {0x16, "down, left and fire"}, {0x1F, "everything"},
    };
    // Any button is fire.
    fake_switches = pad_button(3);
    poll_kempston();
    expect_port(kempston_fire);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        fake_switches = c.switches;
        // The port shows the state of the last poll, not the stick of the moment.
        poll_kempston();
        fake_switches = 0;
        expect_port(uint8_t(c.switches));
    }
    // The arrow keys stay the cursor keys 5 to 8.
    key[KEY_UP] = 1;
    poll_kempston();
    expect_port(0);
    EXPECT_EQ(readula(0xEFFE), 0x1F & ~0x08);
}

TEST_F(Kempston, WithoutAStickOrInterfaceThePortReadsZero) {
    fake_stick_count = 0;
    start_joystick(joystick_mode::kempston);
    EXPECT_EQ(find_calls, 1);
    fake_switches = 0x1F;
    poll_kempston();
    expect_port(0);

    fake_stick_count = 1;
    start_joystick(joystick_mode::none);
    EXPECT_EQ(find_calls, 1);  // the driver is not even asked
    poll_kempston();
    key[KEY_UP] = key[KEY_TAB] = 1;
    poll_kempston();
    expect_port(0);
}

TEST_F(Kempston, KeysModeTakesTheArrowsAndTab) {
    start_joystick(joystick_mode::keys);
    EXPECT_EQ(find_calls, 0);
    fake_switches = 0x1F;  // a stick is not read in keys mode
    // matrix: what an IN from 0x00FE (every half-row) reads at the same time.
    struct { std::vector<int> held; uint8_t want; int matrix; } cases[] = {
        {{}, 0x00, 0x1F},
        {{KEY_RIGHT}, 0x01, 0x1F},
        {{KEY_LEFT}, 0x02, 0x1F},
        {{KEY_DOWN}, 0x04, 0x1F},
        {{KEY_UP}, 0x08, 0x1F},
        {{KEY_TAB}, 0x10, 0x1F},
        {{KEY_UP, KEY_LEFT, KEY_TAB}, 0x1A, 0x1F},
        {{KEY_RIGHT, KEY_LEFT, KEY_UP, KEY_DOWN, KEY_TAB}, 0x1F, 0x1F},
        {{KEY_5}, 0x00, 0x0F},                   // 5 is still 5
        {{KEY_LCONTROL, KEY_UP}, 0x08, 0x1C},     // left Control is still SYMBOL SHIFT and 0
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("want " + std::to_string(c.want));
        release_all();
        for (int k : c.held) key[k] = 1;
        poll_kempston();
        expect_port(c.want);
        EXPECT_EQ(readula(0x00FE), c.matrix);
    }
    EXPECT_TRUE(joystick_owns_key(KEY_LEFT));
    EXPECT_FALSE(joystick_owns_key(KEY_LCONTROL));
}

// The bare matrix bits (active high) an IN from port reads.
int matrix(uint16_t port) { return ~readula(port) & 0x1F; }

TEST_F(Kempston, SinclairAndCursorPressTheirKeys) {
    // Inputs in pad order: right, left, down, up, fire. Each row: the
    // half-row port and the bit each input presses on it.
    struct { joystick_mode mode; uint16_t port[5]; int bit[5]; const char *what; } types[] = {
        {joystick_mode::sinclair1, {0xEFFE, 0xEFFE, 0xEFFE, 0xEFFE, 0xEFFE}, {3, 4, 2, 1, 0}, "7 6 8 9 0"},
        {joystick_mode::sinclair2, {0xF7FE, 0xF7FE, 0xF7FE, 0xF7FE, 0xF7FE}, {1, 0, 2, 3, 4}, "2 1 3 4 5"},
        {joystick_mode::cursor, {0xEFFE, 0xF7FE, 0xEFFE, 0xEFFE, 0xEFFE}, {2, 4, 4, 3, 0}, "8 5 6 7 0"},
    };
    for (const auto &t : types) {
        SCOPED_TRACE(t.what);
        // With a stick, the stick presses the keys and the arrows stay the cursor keys.
        start_joystick(t.mode);
        for (int i = 0; i < 5; ++i) {
            fake_switches = i < 4 ? 1u << i : pad_button(2);
            poll_kempston();
            EXPECT_EQ(matrix(t.port[i]), 1 << t.bit[i]) << "input " << i;
            EXPECT_EQ(matrix(0x7FFE) | matrix(0xFEFE), 0);
            expect_port(0);
        }
        fake_switches = 0;
        key[KEY_UP] = 1;
        poll_kempston();
        EXPECT_EQ(matrix(0xEFFE), 0x08);  // 7
        release_all();
        // Without one, the arrows and Tab are the stick.
        fake_stick_count = 0;
        start_joystick(t.mode);
        const int host[5] = {KEY_RIGHT, KEY_LEFT, KEY_DOWN, KEY_UP, KEY_TAB};
        for (int i = 0; i < 5; ++i) {
            release_all();
            key[host[i]] = 1;
            poll_kempston();
            EXPECT_EQ(matrix(t.port[i]), 1 << t.bit[i]) << "input " << i;
            EXPECT_EQ(matrix(0x00FE) & ~(1 << t.bit[i]), 0) << "input " << i;
        }
        fake_stick_count = 1;
        release_all();
    }
}

TEST_F(Kempston, PadMapPutsInputsOnKeys) {
    pad_map map;
    std::string why;
    ASSERT_TRUE(parse_pad_map("up=Q,fire=M,button2=ENTER", map, why)) << why;
    start_joystick(joystick_mode::kempston, map);
    struct { uint32_t inputs; uint8_t port; uint16_t half_row; int bits; } cases[] = {
        {kempston_up, 0, 0xFBFE, 0x01},               // Q
        {kempston_up | kempston_left, kempston_left, 0xFBFE, 0x01},
        {pad_button(1), 0, 0x7FFE, 0x04},             // M
        {pad_button(2), 0, 0xBFFE, 0x01},             // ENTER
        {pad_button(3), kempston_fire, 0x7FFE, 0x00}, // not in the map: fire
    };
    for (const auto &c : cases) {
        fake_switches = c.inputs;
        poll_kempston();
        expect_port(c.port);
        EXPECT_EQ(matrix(c.half_row), c.bits) << c.inputs;
    }
}

TEST(PadMap, Parses) {
    struct { const char *text; int input; matrix_key key; } good[] = {
        {"up=Q", 3, {2, 0}},           {"DOWN=a", 2, {1, 0}},        {"left=o", 1, {5, 1}},
        {"Right=P", 0, {5, 0}},        {"fire=M", 4, {7, 2}},        {"button1=space", 4, {7, 0}},
        {"button2=ENTER", 5, {6, 0}},  {"button12=0", 15, {4, 0}},   {"button3=caps", 6, {0, 0}},
        {"fire=SYMBOL", 4, {7, 1}},
    };
    for (const auto &g : good) {
        pad_map map;
        std::string why;
        ASSERT_TRUE(parse_pad_map(g.text, map, why)) << g.text << ": " << why;
        for (int i = 0; i < pad_inputs; ++i) {
            const matrix_key want = i == g.input ? g.key : no_matrix_key;
            EXPECT_EQ(map.keys[i].half_row, want.half_row) << g.text << " input " << i;
            EXPECT_EQ(map.keys[i].bit, want.bit) << g.text << " input " << i;
        }
    }
    pad_map map;
    std::string why;
    ASSERT_TRUE(parse_pad_map("up=Q,down=A,left=O,right=P,fire=M,button2=ENTER,button3=SPACE", map, why));
    EXPECT_EQ(map.keys[6].half_row, 7);
}

TEST(PadMap, RefusesWithAReason) {
    struct { const char *text; const char *why; } bad[] = {
        {"", "'' is not INPUT=KEY"},
        {"up", "'up' is not INPUT=KEY"},
        {"up=Q,", "'' is not INPUT=KEY"},
        {"jump=Q", "'jump' is not up, down"},
        {"button13=Q", "'button13' is not"},
        {"button0=Q", "'button0' is not"},
        {"button02=Q", "'button02' is not"},
        {"up=QQ", "'QQ' is not a Spectrum key"},
        {"up=", "'' is not a Spectrum key"},
        {"up=Q,UP=A", "'UP' is given twice"},
        {"fire=M,button1=N", "'button1' is given twice"},
    };
    for (const auto &b : bad) {
        pad_map map = empty_pad_map;
        map.keys[0] = {3, 3};
        std::string why;
        EXPECT_FALSE(parse_pad_map(b.text, map, why)) << b.text;
        EXPECT_EQ(why.rfind(b.why, 0), 0u) << b.text << ": " << why;
        EXPECT_EQ(map.keys[0].bit, 3) << "unchanged";
    }
}

}  // namespace
