// BASIC typed on the emulated keyboard: the ROM's editor reads the keys
// through the ULA port each frame, and its floating-point arithmetic runs on
// every page of the processor. The accumulator rotates keeping S, Z and P/V
// matter here: the ROM's multiply and divide test the sign that DEC A left
// across RLA and RRA.
#include <gtest/gtest.h>

#include <allegro.h>

#include <string>
#include <vector>

#include "rom_machine.h"
#include "z80_harness.h"

namespace {

// A host key, optionally with right Control (SYMBOL SHIFT alone) held.
struct stroke {
    int host;
    bool symbol;
};

// The keys for one character of a line typed in the ROM's editor, which takes
// keywords spelled out letter by letter.
stroke stroke_for(char ch) {
    if (ch >= 'a' && ch <= 'z') return {KEY_A + (ch - 'a'), false};
    if (ch >= '1' && ch <= '9') return {KEY_1 + (ch - '1'), false};
    switch (ch) {
    case '0': return {KEY_0, false};
    case ' ': return {KEY_SPACE, false};
    case '\n': return {KEY_ENTER, false};
    case '*': return {KEY_B, true};
    case '/': return {KEY_V, true};
    case '.': return {KEY_M, true};
    case '+': return {KEY_K, true};
    case '-': return {KEY_J, true};
    }
    ADD_FAILURE() << "no key for '" << ch << "'";
    return {KEY_SPACE, false};
}

// Holds each key for a few frames and lets go for a few, as a person types:
// the ROM scans the keyboard once per frame interrupt.
void type(const std::string &text) {
    for (char ch : text) {
        const stroke s = stroke_for(ch);
        if (s.symbol) key[KEY_RCONTROL] = 1;
        key[s.host] = 1;
        run_frames(6);
        key[s.host] = 0;
        key[KEY_RCONTROL] = 0;
        run_frames(6);
    }
}

std::string whole_screen() {
    std::string text;
    for (int row = 0; row < 24; ++row) text += trimmed(screen_row(row)) + "\n";
    return text;
}

struct sum {
    const char *line;
    const char *shown;  // what the default ROM prints (it writes the leading zero)
};

const sum sums[] = {
    {"print 2+2\n", "4"},
    {"print 1.5*1.5\n", "2.25"},
    {"print 7*0.1\n", "0.7"},
    {"print 100*100.5\n", "10050"},
    {"print 2/3\n", "0.66666667"},
    {"print 10-0.25\n", "9.75"},
};

TEST(RomBasic, PrintsArithmeticResults) {
    for (const sum &s : sums) {
        std::string error;
        ASSERT_TRUE(boot_rom(300, error)) << error;
        type(s.line);
        run_frames(50);
        // The answer is printed at the top left, the report below it.
        EXPECT_EQ(trimmed(screen_row(0)), s.shown) << s.line << "screen:\n" << whole_screen();
        EXPECT_NE(whole_screen().find("OK, 0:1"), std::string::npos) << s.line << "screen:\n" << whole_screen();
    }
}

}  // namespace
