// T-state charges of the processor, one table per page; the two index pages
// have a column each for DD (IX) and FD (IY).
//
// Every instruction subtracts its whole charge from cycles once, on the path
// it takes, reading it from these tables by its own opcode. Instructions that
// branch have two totals: t_base (not taken, or the only cost) and
// t_base_taken (the branch taken), which is 0 where taking the branch costs
// nothing different. The prefix bytes CB, ED, DD and FD charge nothing here:
// their own pages charge the whole prefixed instruction.
#pragma once

#include <cstdint>

enum : int { COL_DD = 0, COL_FD = 1 };

// clang-format off
constexpr uint8_t t_base[256] = {
//   x0  x1  x2  x3  x4  x5  x6  x7  x8  x9  xA  xB  xC  xD  xE  xF
      4, 10,  7,  6,  4,  4,  7,  4,  4, 11,  7,  6,  4,  4,  7,  4,  // 0x
      8, 10,  7,  6,  4,  4,  7,  4, 12, 11,  7,  6,  4,  4,  7,  4,  // 1x
      7, 10, 16,  6,  4,  4,  7,  4,  7, 11, 16,  6,  4,  4,  7,  4,  // 2x
      7, 10, 13,  6, 11, 11, 10,  4,  7, 11, 13,  6,  4,  4,  7,  4,  // 3x
      4,  4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,  // 4x
      4,  4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,  // 5x
      4,  4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,  // 6x
      7,  7,  7,  7,  7,  7,  4,  7,  4,  4,  4,  4,  4,  4,  7,  4,  // 7x
      4,  4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,  // 8x
      4,  4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,  // 9x
      4,  4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,  // Ax
      4,  4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,  // Bx
      5, 10, 10, 10, 10, 11,  7, 11,  5, 10, 10,  0, 10, 17,  7, 11,  // Cx
      5, 10, 10, 11, 10, 11,  7, 11,  5,  4, 10, 11, 10,  0,  8, 11,  // Dx
      5, 10, 10, 19, 10, 11,  7, 11,  5,  4, 10,  4, 10,  0,  8, 16,  // Ex
     12, 12, 12,  4, 12, 12,  8, 16, 12,  4, 12,  4, 12,  0,  8, 16,  // Fx
};

// The taken cost of DJNZ, JR cc, CALL cc and RET cc; 0 elsewhere (JP cc and
// RET P/M cost the same either way and charge t_base).
constexpr uint8_t t_base_taken[256] = {
//   x0  x1  x2  x3  x4  x5  x6  x7  x8  x9  xA  xB  xC  xD  xE  xF
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 0x
     13,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 1x
     12,  0,  0,  0,  0,  0,  0,  0, 12,  0,  0,  0,  0,  0,  0,  0,  // 2x
     12,  0,  0,  0,  0,  0,  0,  0, 12,  0,  0,  0,  0,  0,  0,  0,  // 3x
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 4x
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 5x
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 6x
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 7x
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 8x
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 9x
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // Ax
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // Bx
     11,  0,  0,  0, 17,  0,  0,  0, 11,  0,  0,  0, 17,  0,  0,  0,  // Cx
     11,  0,  0,  0, 17,  0,  0,  0, 11,  0,  0,  0, 17,  0,  0,  0,  // Dx
     11,  0,  0,  0, 17,  0,  0,  0, 11,  0,  0,  0, 17,  0,  0,  0,  // Ex
      0,  0,  0,  0, 20,  0,  0,  0,  0,  0,  0,  0, 20,  0,  0,  0,  // Fx
};
// clang-format on

// Charges taken when a maskable interrupt is accepted, by mode.
constexpr int t_int_im0 = 12;
constexpr int t_int_im1 = 13;
constexpr int t_int_im2 = 19;

namespace charges_detail {
constexpr bool taken_costs_more(const uint8_t (&base)[256], const uint8_t (&taken)[256]) {
    for (int i = 0; i < 256; ++i)
        if (taken[i] != 0 && taken[i] <= base[i]) return false;
    return true;
}
}  // namespace charges_detail

static_assert(t_base[0x00] == 4 && t_base[0x76] == 4, "NOP and HALT charges");
static_assert(t_base[0xDE] == 8 && t_base[0xEE] == 8 && t_base[0xF6] == 8 && t_base[0xFE] == 8,
              "SBC n, XOR n, OR n and CP n cost 8");
static_assert(t_base[0xEF] == 16 && t_base[0xF7] == 16 && t_base[0xFF] == 16 && t_base[0xE7] == 11,
              "RST 28h..38h cost 16, the others 11");
static_assert(t_base[0xF0] == 12 && t_base[0xF8] == 12 && t_base_taken[0xF0] == 0,
              "RET P and RET M cost 12 either way");
static_assert(t_base[0xF4] == 12 && t_base_taken[0xF4] == 20 && t_base[0xC4] == 10 && t_base_taken[0xC4] == 17,
              "CALL cc charges");
static_assert(t_base[0xE3] == 19 && t_base[0xF9] == 4 && t_base[0xF1] == 12 && t_base[0xF5] == 12,
              "EX (SP),HL, LD SP,HL, POP AF and PUSH AF");
static_assert(charges_detail::taken_costs_more(t_base, t_base_taken), "a taken branch costs more than a fall-through");
