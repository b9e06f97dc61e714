// The frame loop's T-state accounting and the interrupt logic: acceptance in
// the three modes, the EI delay, HALT, and the pushes of an acceptance.
#include <gtest/gtest.h>

#include <cstring>

#include "z80_harness.h"

namespace {

class Frame : public ::testing::Test {
  protected:
    void SetUp() override { z80_fresh(); }
};

// Fills all 64 KB the processor reads (ROM and RAM) with one opcode.
void fill_all(uint8_t op) {
    std::memset(lorom, op, rom_size);
    std::memset(ram, op, ram_size);
}

// How many instructions of a fixed cost one frame runs, and the cycles left,
// by the rule: each line adds 224 and runs while the budget is above zero.
void model_frame(int cost, int start, int &count, int &left) {
    int budget = start;
    count = 0;
    for (int line = 0; line < 312; ++line) {
        budget += 224;
        while (budget > 0) {
            budget -= cost;
            ++count;
        }
    }
    left = budget;
}

TEST_F(Frame, ANopFrameRuns56PerLineAnd17472InAll) {
    fill_all(0x00);
    pc = 0x8000;
    execz80();
    EXPECT_EQ(pc, uint16_t(0x8000 + 17472));
    EXPECT_EQ(cycles, 0);
    EXPECT_EQ(r_reg, 64) << "17472 mod 256";
    execz80();
    EXPECT_EQ(pc, uint16_t(0x8000 + 2 * 17472));
    EXPECT_EQ(r_reg, 128);
}

// One-byte instructions of 19 T-states everywhere (EX (SP),HL with the stack
// in the ROM area): each line overruns, and its debt shortens the next.
TEST_F(Frame, DebtCarriesIntoTheNextLineAndFrame) {
    for (int start : {0, 1, -18, -5, 100}) {
        z80_fresh();
        fill_all(0xE3);
        sp = 0x3000;
        pc = 0x8000;
        cycles = start;
        int count, left;
        model_frame(19, start, count, left);
        execz80();
        EXPECT_EQ(cycles, left) << "start " << start;
        EXPECT_EQ(pc, uint16_t(0x8000 + count)) << "start " << start;
        EXPECT_EQ(r_reg, count & 0xFF) << "start " << start;
        // The next frame starts from the debt left by this one.
        int count2, left2;
        model_frame(19, left, count2, left2);
        execz80();
        EXPECT_EQ(cycles, left2);
        EXPECT_EQ(pc, uint16_t(0x8000 + count + count2));
    }
}

TEST_F(Frame, AnInstructionStartedWithOneTStateLeftRunsToItsEnd) {
    z80_program({0xE3});
    sp = 0x9000;
    cycles = 1;
    stepz80();
    EXPECT_EQ(cycles, -18);
    EXPECT_EQ(224 + cycles, 206);
}

TEST_F(Frame, HaltWithoutARequestRepeats17472TimesAFrame) {
    z80_program({0x76});
    execz80();
    EXPECT_EQ(pc, 0x8000);
    EXPECT_EQ(cycles, 0);
    EXPECT_EQ(r_reg, 64);
}

// What one accepted interrupt charges, where it goes, and what it pushes.
TEST_F(Frame, AcceptanceByMode) {
    struct row { int mode; uint8_t i; uint16_t want_pc; int want_cost; };
    const row rows[] = {
        {0, 0x00, 0x0038, 4 + 12},
        {1, 0x00, 0x0038, 4 + 13},
        {2, 0x39, 0x1234, 4 + 19},  // vector at 39FFh and 3A00h, both in ROM
        {2, 0xFF, 0x5678, 4 + 19},  // vector at FFFFh and, wrapped, 0000h
        {2, 0x80, 0x9ABC, 4 + 19},
    };
    for (const row &r : rows) {
        z80_fresh();
        lorom[0x39FF] = 0x34; lorom[0x3A00] = 0x12;
        ram[0xFFFF] = 0x78; lorom[0x0000] = 0x56;
        ram[0x80FF] = 0xBC; ram[0x8100] = 0x9A;
        z80_program({0x00}, 0x7000);  // NOP
        im = r.mode;
        i_reg = r.i;
        iff1 = 1;
        intreq = 1;
        sp = 0xF000;
        EXPECT_EQ(z80_step_cost(), r.want_cost) << "IM " << r.mode;
        EXPECT_EQ(pc, r.want_pc) << "IM " << r.mode;
        EXPECT_EQ(sp, 0xEFFE);
        EXPECT_EQ(ram[0xEFFF], 0x70) << "high byte of the next address first";
        EXPECT_EQ(ram[0xEFFE], 0x01);
        EXPECT_EQ(intreq, 0);
        EXPECT_EQ(iff1, 0);
        EXPECT_EQ(iff2, 1);
        EXPECT_EQ(r_reg, 1) << "acceptance does not advance R";
    }
}

TEST_F(Frame, NoAcceptanceUnlessIff1IsExactlyOne) {
    for (int v : {0, 2, 3}) {
        z80_fresh();
        z80_program({0x00});
        iff1 = v;
        intreq = 1;
        EXPECT_EQ(z80_step_cost(), 4);
        EXPECT_EQ(pc, 0x8001);
        EXPECT_EQ(intreq, 1) << "iff1 " << v;
    }
}

TEST_F(Frame, AcceptancePushIntoTheScreenMarksOnlyTheAttributeSquare) {
    z80_program({0x00}, 0x9000);
    im = 1;
    iff1 = 1;
    intreq = 1;
    sp = 0x5B01;
    stepz80();
    EXPECT_EQ(ram[0x5B00], 0x90);
    EXPECT_EQ(ram[0x5AFF], 0x01);
    EXPECT_EQ(dirty_count(), 1);
    EXPECT_EQ(dsquare[767], 1);
}

// A request raised after EI is taken at the end of the second instruction after it.
TEST_F(Frame, EiDelaysAcceptanceByTwoInstructions) {
    z80_program({0xFB, 0x00, 0x00, 0x00});
    im = 1;
    sp = 0xF000;
    stepz80();  // EI
    intreq = 1;
    EXPECT_EQ(z80_step_cost(), 4);  // first NOP: not yet
    EXPECT_EQ(pc, 0x8002);
    EXPECT_EQ(z80_step_cost(), 4 + 13);  // second NOP: accepted at its end
    EXPECT_EQ(pc, 0x0038);
    EXPECT_EQ(ram[0xEFFE], 0x03);
    EXPECT_EQ(ram[0xEFFF], 0x80);
}

TEST_F(Frame, EiDiscardsARequestRaisedBeforeIt) {
    z80_program({0xFB, 0x00, 0x00, 0x00});
    im = 1;
    intreq = 1;
    for (int i = 0; i < 4; ++i) stepz80();
    EXPECT_EQ(pc, 0x8004);
    EXPECT_EQ(intreq, 0);
    EXPECT_EQ(iff1, 1);
}

// EI; HALT at the end of a frame: the first HALT of the next frame ends the
// halt, and the address after HALT is pushed.
TEST_F(Frame, EiHaltWaitsForTheNextFrame) {
    z80_program({0xFB, 0x76, 0x18, 0xFE});  // EI; HALT; JR $
    z80_poke(0x0038, {0x3E, 0x77, 0x18, 0xFE});  // LD A,77h; JR $
    im = 1;
    sp = 0xF000;
    execz80();
    EXPECT_EQ(pc, 0x8001);
    EXPECT_EQ(a, 0);
    intreq = 1;  // the main loop's frame request
    execz80();
    EXPECT_EQ(a, 0x77);
    EXPECT_EQ(sp, 0xEFFE);
    EXPECT_EQ(ram[0xEFFE], 0x02);
    EXPECT_EQ(ram[0xEFFF], 0x80);
    EXPECT_EQ(intreq, 0);
    EXPECT_EQ(iff1, 0);
}

// DI; HALT: the request ends the halt, execution continues after it, and the
// request stays pending.
TEST_F(Frame, DiHaltContinuesWithoutAcceptance) {
    z80_program({0xF3, 0x76, 0x3E, 0x55, 0x18, 0xFE});  // DI; HALT; LD A,55h; JR $
    sp = 0xF000;
    execz80();
    EXPECT_EQ(pc, 0x8001);
    intreq = 1;
    execz80();
    EXPECT_EQ(a, 0x55);
    EXPECT_EQ(pc, 0x8004);
    EXPECT_EQ(sp, 0xF000);
    EXPECT_EQ(intreq, 1);
}

// With interrupts on, the frame request is taken after the first instruction
// of the next frame.
TEST_F(Frame, TheFrameInterruptFallsAfterTheFirstInstruction) {
    fill_all(0x00);
    z80_program({0xFB}, 0x8000);
    im = 1;
    sp = 0xF000;
    execz80();
    const uint16_t end_pc = pc;
    intreq = 1;
    execz80();
    EXPECT_EQ(ram[0xEFFF] << 8 | ram[0xEFFE], end_pc + 1);
    EXPECT_EQ(iff1, 0);
}

}  // namespace
