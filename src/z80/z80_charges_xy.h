// Charges of the DD and FD pages and their bit pages, in T-states.
//
// Each entry is the whole cost of the instruction, the prefix byte included;
// nothing else is charged for the prefix. Column COL_DD is the page after
// 0xDD (IX), column COL_FD the page after 0xFD (IY). A 0 marks an opcode that
// is swallowed with its prefix at no charge. The entry for 0xCB is 0 because
// the bit page charges from t_xycb instead.
//
// QUIRK: the two columns differ from each other and from the published
// M-cycle timings (LD IX,nn 19 but LD IY,nn 16; INC (IY+d) 12; PUSH IY 20;
// RL (IY+d) 16 where the other FD rotates cost 28). They are this machine's
// own timing, kept exactly so that programs see the scanline timing they have
// always seen on it.
// QUIRK: the unprefixed instructions that also run after a prefix (LD r,r',
// ADD/ADC A,r, INC A, CCF, HALT ...) cost what they cost unprefixed: the
// prefix is free, except for LD A,(nn), which costs 20.
// LD C,XYh/l, AND and OR XYh/l, CALL nn, SUB XYh/l and the unprefixed rows
// act alike after either prefix, for the same charge in both columns, so the
// two pages handle exactly the same opcodes.
#pragma once

#include <cstdint>

#include "z80/z80_charges.h"

// clang-format off
constexpr uint8_t t_xy[2][256] = {
  { // DD (IX)
 //  x0  x1  x2  x3  x4  x5  x6  x7  x8  x9  xA  xB  xC  xD  xE  xF
      0,  0,  0,  0,  0,  0,  0,  0,  0, 15,  0,  0,  0,  0,  0,  0,  // 0x
      0,  0,  0,  0,  0,  0,  0,  0,  0, 15,  0,  0,  0,  0,  0,  0,  // 1x
      0, 19, 20, 10,  8,  8, 19,  0,  0, 15, 19, 10, 10, 10, 14,  0,  // 2x
      0,  0,  0,  0, 23, 23, 19,  0,  0, 15, 20,  6,  4,  4,  7,  4,  // 3x
      4,  4,  4,  4,  8,  8, 19,  0,  0,  0,  0,  0,  8,  8, 19,  4,  // 4x
      4,  4,  4,  4,  8,  8, 19,  4,  4,  4,  4,  4,  8,  8, 19,  4,  // 5x
      8,  8,  8,  8,  8,  8, 19,  8,  8,  8,  8,  8,  8,  8, 19,  8,  // 6x
     19, 19, 19, 19, 19, 19,  4, 19,  4,  4,  4,  4,  8,  8, 19,  4,  // 7x
      4,  4,  4,  4,  8,  8, 19,  4,  4,  4,  4,  4,  0,  0, 19,  0,  // 8x
      0,  0,  0,  0,  8,  8, 19,  0,  0,  0,  0,  0,  8,  8, 19,  0,  // 9x
      0,  0,  0,  0,  8,  8, 19,  0,  0,  0,  0,  0,  8,  8, 19,  0,  // Ax
      0,  0,  0,  0,  8,  8, 19,  0,  0,  0,  0,  0,  8,  8, 19,  0,  // Bx
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0, 17,  0,  0,  // Cx
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  4,  0,  0,  // Dx
      0, 14,  0, 23,  0, 15,  0,  0,  0,  8,  0,  0,  0,  0,  0,  0,  // Ex
      0,  0,  0,  0,  0,  0,  0,  0,  0, 10,  0,  0,  0,  4,  0,  0,  // Fx
  },
  { // FD (IY)
 //  x0  x1  x2  x3  x4  x5  x6  x7  x8  x9  xA  xB  xC  xD  xE  xF
      0,  0,  0,  0,  0,  0,  0,  0,  0, 16,  0,  0,  0,  0,  0,  0,  // 0x
      0,  0,  0,  0,  0,  0,  0,  0,  0, 16,  0,  0,  0,  0,  0,  0,  // 1x
      0, 16, 24,  8,  8,  8, 12,  0,  0, 16, 24,  8,  8,  8, 14,  0,  // 2x
      0,  0,  0,  0, 12, 12, 24,  0,  0, 16, 20,  6,  4,  4,  7,  4,  // 3x
      4,  4,  4,  4,  8,  8, 24,  0,  0,  0,  0,  0,  8,  8, 24,  4,  // 4x
      4,  4,  4,  4,  8,  8, 24,  4,  4,  4,  4,  4,  8,  8, 24,  4,  // 5x
      8,  8,  8,  8,  8,  8, 24,  8,  8,  8,  8,  8,  8,  8, 24,  8,  // 6x
     24, 24, 24, 24, 24, 24,  4, 24,  4,  4,  4,  4,  8,  8, 24,  4,  // 7x
      4,  4,  4,  4,  8,  8, 19,  4,  4,  4,  4,  4,  0,  0, 19,  0,  // 8x
      0,  0,  0,  0,  8,  8, 19,  0,  0,  0,  0,  0,  8,  8, 19,  0,  // 9x
      0,  0,  0,  0,  8,  8, 19,  0,  0,  0,  0,  0,  8,  8, 19,  0,  // Ax
      0,  0,  0,  0,  8,  8, 19,  0,  0,  0,  0,  0,  8,  8, 19,  0,  // Bx
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0, 17,  0,  0,  // Cx
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  4,  0,  0,  // Dx
      0, 16,  0, 23,  0, 20,  0,  0,  0,  8,  0,  0,  0,  0,  0,  0,  // Ex
      0,  0,  0,  0,  0,  0,  0,  0,  0, 10,  0,  0,  0,  4,  0,  0,  // Fx
  },
};

// The bit page: prefix, 0xCB, d, sub-opcode. Only the (XY+d) forms (bits 0-2
// = 6) have handlers, apart from BIT, whose other forms test the same bit.
constexpr uint8_t t_xycb[2][256] = {
  { // DD CB (IX)
 //  x0  x1  x2  x3  x4  x5  x6  x7  x8  x9  xA  xB  xC  xD  xE  xF
      0,  0,  0,  0,  0,  0, 23,  0,  0,  0,  0,  0,  0,  0, 23,  0,  // 0x
      0,  0,  0,  0,  0,  0, 23,  0,  0,  0,  0,  0,  0,  0, 23,  0,  // 1x
      0,  0,  0,  0,  0,  0, 23,  0,  0,  0,  0,  0,  0,  0, 23,  0,  // 2x
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0, 23,  0,  // 3x
     20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20,  // 4x
     20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20,  // 5x
     20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20,  // 6x
     20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20,  // 7x
      0,  0,  0,  0,  0,  0, 23,  0,  0,  0,  0,  0,  0,  0, 23,  0,  // 8x
      0,  0,  0,  0,  0,  0, 23,  0,  0,  0,  0,  0,  0,  0, 23,  0,  // 9x
      0,  0,  0,  0,  0,  0, 23,  0,  0,  0,  0,  0,  0,  0, 23,  0,  // Ax
      0,  0,  0,  0,  0,  0, 23,  0,  0,  0,  0,  0,  0,  0, 23,  0,  // Bx
      0,  0,  0,  0,  0,  0, 23,  0,  0,  0,  0,  0,  0,  0, 23,  0,  // Cx
      0,  0,  0,  0,  0,  0, 23,  0,  0,  0,  0,  0,  0,  0, 23,  0,  // Dx
      0,  0,  0,  0,  0,  0, 23,  0,  0,  0,  0,  0,  0,  0, 23,  0,  // Ex
      0,  0,  0,  0,  0,  0, 23,  0,  0,  0,  0,  0,  0,  0, 23,  0,  // Fx
  },
  { // FD CB (IY)
 //  x0  x1  x2  x3  x4  x5  x6  x7  x8  x9  xA  xB  xC  xD  xE  xF
      0,  0,  0,  0,  0,  0, 28,  0,  0,  0,  0,  0,  0,  0, 28,  0,  // 0x
      0,  0,  0,  0,  0,  0, 16,  0,  0,  0,  0,  0,  0,  0, 28,  0,  // 1x
      0,  0,  0,  0,  0,  0, 28,  0,  0,  0,  0,  0,  0,  0, 28,  0,  // 2x
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0, 28,  0,  // 3x
     24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24,  // 4x
     24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24,  // 5x
     24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24,  // 6x
     24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24,  // 7x
      0,  0,  0,  0,  0,  0, 28,  0,  0,  0,  0,  0,  0,  0, 28,  0,  // 8x
      0,  0,  0,  0,  0,  0, 28,  0,  0,  0,  0,  0,  0,  0, 28,  0,  // 9x
      0,  0,  0,  0,  0,  0, 28,  0,  0,  0,  0,  0,  0,  0, 28,  0,  // Ax
      0,  0,  0,  0,  0,  0, 28,  0,  0,  0,  0,  0,  0,  0, 28,  0,  // Bx
      0,  0,  0,  0,  0,  0, 28,  0,  0,  0,  0,  0,  0,  0, 28,  0,  // Cx
      0,  0,  0,  0,  0,  0, 28,  0,  0,  0,  0,  0,  0,  0, 28,  0,  // Dx
      0,  0,  0,  0,  0,  0, 28,  0,  0,  0,  0,  0,  0,  0, 28,  0,  // Ex
      0,  0,  0,  0,  0,  0, 28,  0,  0,  0,  0,  0,  0,  0, 28,  0,  // Fx
  },
};
// clang-format on

static_assert(t_xy[COL_DD][0x21] == 19 && t_xy[COL_FD][0x21] == 16, "LD XY,nn");
static_assert(t_xy[COL_DD][0x34] == 23 && t_xy[COL_FD][0x34] == 12, "INC (XY+d)");
static_assert(t_xy[COL_DD][0xE5] == 15 && t_xy[COL_FD][0xE5] == 20, "PUSH XY");
static_assert(t_xy[COL_DD][0x3A] == 20 && t_xy[COL_FD][0x3A] == 20, "LD A,(nn) after a prefix");
static_assert(t_xy[COL_DD][0xCD] == 17 && t_xy[COL_FD][0xCD] == 17, "CALL nn after a prefix");
static_assert(t_xy[COL_DD][0xDD] == 4 && t_xy[COL_FD][0xFD] == 4, "prefix after prefix");
static_assert(t_xycb[COL_DD][0x16] == 23 && t_xycb[COL_FD][0x16] == 16, "RL (XY+d)");
static_assert(t_xycb[COL_DD][0x40] == 20 && t_xycb[COL_FD][0x47] == 24, "BIT forms with bits 0-2 not 6");
static_assert(t_xycb[COL_DD][0x36] == 0 && t_xycb[COL_FD][0x36] == 0, "SLL (XY+d) is swallowed");

namespace xy_charges_check {
// Both pages handle the same opcodes: an entry is 0 in one column exactly
// when it is 0 in the other.
constexpr bool same_opcodes(const uint8_t (&t)[2][256]) {
    for (int op = 0; op < 256; ++op)
        if ((t[COL_DD][op] == 0) != (t[COL_FD][op] == 0)) return false;
    return true;
}
static_assert(same_opcodes(t_xy) && same_opcodes(t_xycb), "DD and FD handle the same opcodes");
}  // namespace xy_charges_check
