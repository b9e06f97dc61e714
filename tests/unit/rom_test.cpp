// The machine runs real software: the default ROM boots to its start-up
// screen, and keeps sitting there frame after frame.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "rom_machine.h"
#include "z80_harness.h"

namespace {

void boot(int frames) {
    std::string error;
    ASSERT_TRUE(boot_rom(frames, error)) << error;
}

TEST(Rom, BootsToItsStartUpMessage) {
    boot(300);
    if (HasFatalFailure()) return;
    // The bottom line holds the message. Its first cell is the copyright
    // sign, which any glyph may stand for; the text follows one space later.
    const std::string message = "1981 Nine Tiles Networks Ltd";
    std::string bottom = screen_row(23);
    size_t at = bottom.find(message);
    ASSERT_NE(at, std::string::npos) << "bottom line: \"" << bottom << "\"";
    ASSERT_GE(at, 2u);
    EXPECT_EQ(bottom[at - 1], ' ');
    bool sign_drawn = false;
    for (int line = 0; line < 8; ++line) sign_drawn = sign_drawn || ram[cell_addr(23, int(at) - 2, line)] != 0;
    EXPECT_TRUE(sign_drawn) << "no copyright sign before the message";
    // Nothing else on the screen: blank cells, black INK on white PAPER.
    EXPECT_EQ(trimmed(bottom.substr(0, at - 2)), "");
    EXPECT_EQ(trimmed(bottom.substr(at + message.size())), "");
    for (int row = 0; row < 23; ++row) EXPECT_EQ(trimmed(screen_row(row)), "") << "row " << row;
    for (int k = 0; k < 768; ++k) ASSERT_EQ(ram[0x5800 + k], 0x38) << "attribute " << k;
}

TEST(Rom, SitsAtTheStartUpScreenFor50000Frames) {
    boot(300);
    if (HasFatalFailure()) return;
    uint8_t screen[screen_bytes];
    std::memcpy(screen, &ram[0x4000], screen_bytes);
    // FRAMES, the ROM's three-byte count of frame interrupts.
    auto frames_var = [] { return ram[0x5C78] | ram[0x5C79] << 8 | ram[0x5C7A] << 16; };
    const int frames_before = frames_var();

    const int frames = 50000;
    auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < frames; ++k) {
        execz80();
        intreq = 1;
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    RecordProperty("seconds", std::to_string(seconds));
    std::printf("50000 frames in %.2f s (%.0f frames per second)\n", seconds, frames / seconds);

    EXPECT_EQ(std::memcmp(screen, &ram[0x4000], screen_bytes), 0) << "the start-up screen changed";
    // One interrupt taken per frame, every frame.
    EXPECT_EQ((frames_var() - frames_before) & 0xFFFFFF, frames);
    // Still in the ROM, with interrupts on, in mode 1.
    EXPECT_LT(pc, 0x4000);
    EXPECT_EQ(im, 1);
    EXPECT_EQ(iff1, 1);
}

// ---- The ROM's floating-point calculator, driven through its own entry points ----
// A small program stacks whole numbers with STACK-BC (0x2D2B), runs a string
// of calculator literals after RST 28h, takes the rounded result with
// FP-TO-BC (0x2DA2) and stores it with LD (nn),BC. The calculator exercises
// every page of the processor: the shifts and bit tests of the mantissa
// arithmetic, block moves on the calculator stack, IY-indexed system
// variables.
struct calc_case {
    const char *what;
    std::vector<uint16_t> values;  // stacked in order; the last is on top
    std::vector<uint8_t> literals;  // calculator literals before end-calc (0x38)
    uint16_t result;
};
const calc_case calc_cases[] = {
    {"7 * 6", {7, 6}, {0x04}, 42},
    {"100 - 58", {100, 58}, {0x03}, 42},
    {"30000 + 12345", {30000, 12345}, {0x0F}, 42345},
    {"1000 / 8", {1000, 8}, {0x05}, 125},
    {"355 / 113 * 10000", {10000, 355, 113}, {0x05, 0x04}, 31416},
    {"SQR 1764", {1764}, {0x28}, 42},
    {"SQR 2 * 10000", {10000, 2}, {0x28, 0x04}, 14142},
    {"2 ^ 15", {2, 15}, {0x06}, 32768},
    {"1000 * SIN (PI / 6)", {1000, 3}, {0xA3, 0x01, 0x05, 0x1F, 0x04}, 500},
    {"1000 * COS (PI / 3)", {1000, 3}, {0xA3, 0x01, 0x05, 0x31, 0x0F, 0x20, 0x04}, 500},
    {"EXP LN 12345", {12345}, {0x25, 0x26}, 12345},
    {"INT (10000 / 7)", {10000, 7}, {0x05, 0x27}, 1428},
};

TEST(Rom, CalculatorArithmetic) {
    boot(300);
    if (HasFatalFailure()) return;
    const uint16_t result_at = 0x9000;
    for (const calc_case &t : calc_cases) {
        std::vector<uint8_t> code = {0xF3};  // DI
        for (uint16_t v : t.values) {
            code.insert(code.end(), {0x01, uint8_t(v), uint8_t(v >> 8)});  // LD BC,v
            code.insert(code.end(), {0xCD, 0x2B, 0x2D});                    // CALL STACK-BC
        }
        code.push_back(0xEF);  // RST 28h: the calculator
        code.insert(code.end(), t.literals.begin(), t.literals.end());
        code.push_back(0x38);                                                // end-calc
        code.insert(code.end(), {0xCD, 0xA2, 0x2D});                         // CALL FP-TO-BC
        code.insert(code.end(), {0xED, 0x43, uint8_t(result_at), uint8_t(result_at >> 8)});  // LD (nn),BC
        const uint16_t done = uint16_t(0x8000 + code.size());
        code.insert(code.end(), {0x18, 0xFE});  // JR $
        for (size_t k = 0; k < code.size(); ++k) ram[0x8000 + k] = code[k];
        ram[result_at] = ram[result_at + 1] = 0;
        const uint8_t err_nr = ram[0x5C3A];  // the ROM's error number
        pc = 0x8000;
        long steps = 0;
        while (pc != done && steps < 2000000) {
            stepz80();
            ++steps;
        }
        ASSERT_EQ(pc, done) << t.what << ": did not finish";
        EXPECT_EQ(ram[result_at] | ram[result_at + 1] << 8, t.result) << t.what;
        EXPECT_EQ(ram[0x5C3A], err_nr) << t.what << ": the ROM reported an error";
    }
}

}  // namespace
