// BASIC typed on the emulated keyboard: the ROM's editor reads the keys
// through the ULA port each frame, and its floating-point arithmetic runs on
// every page of the processor. The accumulator rotates keeping S, Z and P/V
// matter here: the ROM's multiply and divide test the sign that DEC A left
// across RLA and RRA.
#include <gtest/gtest.h>

#include <string>

#include "rom_machine.h"
#include "z80_harness.h"

namespace {

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
        type_keys(s.line);
        run_frames(50);
        // The answer is printed at the top left, the report below it.
        EXPECT_EQ(trimmed(screen_row(0)), s.shown) << s.line << "screen:\n" << whole_screen();
        EXPECT_NE(whole_screen().find("OK, 0:1"), std::string::npos) << s.line << "screen:\n" << whole_screen();
    }
}

}  // namespace
