#include <gtest/gtest.h>

#include "z80_harness.h"

// The byte halves must alias their pair: the low byte first.
TEST(RegisterFile, HalvesAliasPairs) {
    z80_fresh();
    bc.w = 0x00FF;
    ++bc.w;
    EXPECT_EQ(b, 0x01);
    EXPECT_EQ(c, 0x00);
    ix.w = 0x1234;
    EXPECT_EQ(ixh, 0x12);
    EXPECT_EQ(ixl, 0x34);
    r_reg = 0x7F;
    i_reg = 0x39;
    EXPECT_EQ(ir.w, 0x397F);
}
