// The Kempston port read the way a game reads it, IN from port 0x1F, with a
// fake stick behind Allegro's joystick driver and in keys mode.
#include <gtest/gtest.h>

#include <allegro.h>

#include <string>
#include <vector>

#include "joystick/joystick.h"
#include "ula/ula.h"
#include "z80/z80.h"

namespace {

uint8_t fake_switches = 0;
int fake_stick_count = 1;
int find_calls = 0;

int fake_find() {
    ++find_calls;
    return fake_stick_count;
}
uint8_t fake_read() { return fake_switches; }

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
    struct { uint8_t switches; const char *what; } cases[] = {
        {0x00, "centred"},      {0x01, "right"},         {0x02, "left"},
        {0x04, "down"},         {0x08, "up"},            {0x10, "fire"},
        {0x09, "up and right"}, {0x16, "down, left and fire"}, {0x1F, "everything"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        fake_switches = c.switches;
        // The port shows the state of the last poll, not the stick of the moment.
        poll_kempston();
        fake_switches = 0;
        expect_port(c.switches);
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

}  // namespace
