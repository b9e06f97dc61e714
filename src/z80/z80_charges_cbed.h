// T-state charges of the CB and ED pages, indexed by the byte after the
// prefix. Each entry is the whole cost of the instruction, prefix included;
// the handler subtracts it once.
#pragma once

#include <cstdint>

// CB page. Rows: high nibble; columns: low nibble. Every register form
// costs 8; the (HL) forms (columns 6 and E) cost 15, except BIT n,(HL),
// which only reads and costs 12.
inline constexpr uint8_t t_cb[256] = {
//   x0  x1  x2  x3  x4  x5  x6  x7  x8  x9  xA  xB  xC  xD  xE  xF
      8,  8,  8,  8,  8,  8, 15,  8,  8,  8,  8,  8,  8,  8, 15,  8,  // 0x  RLC RRC
      8,  8,  8,  8,  8,  8, 15,  8,  8,  8,  8,  8,  8,  8, 15,  8,  // 1x  RL  RR
      8,  8,  8,  8,  8,  8, 15,  8,  8,  8,  8,  8,  8,  8, 15,  8,  // 2x  SLA SRA
      8,  8,  8,  8,  8,  8, 15,  8,  8,  8,  8,  8,  8,  8, 15,  8,  // 3x  SLL SRL
      8,  8,  8,  8,  8,  8, 12,  8,  8,  8,  8,  8,  8,  8, 12,  8,  // 4x  BIT 0,1
      8,  8,  8,  8,  8,  8, 12,  8,  8,  8,  8,  8,  8,  8, 12,  8,  // 5x  BIT 2,3
      8,  8,  8,  8,  8,  8, 12,  8,  8,  8,  8,  8,  8,  8, 12,  8,  // 6x  BIT 4,5
      8,  8,  8,  8,  8,  8, 12,  8,  8,  8,  8,  8,  8,  8, 12,  8,  // 7x  BIT 6,7
      8,  8,  8,  8,  8,  8, 15,  8,  8,  8,  8,  8,  8,  8, 15,  8,  // 8x  RES 0,1
      8,  8,  8,  8,  8,  8, 15,  8,  8,  8,  8,  8,  8,  8, 15,  8,  // 9x  RES 2,3
      8,  8,  8,  8,  8,  8, 15,  8,  8,  8,  8,  8,  8,  8, 15,  8,  // Ax  RES 4,5
      8,  8,  8,  8,  8,  8, 15,  8,  8,  8,  8,  8,  8,  8, 15,  8,  // Bx  RES 6,7
      8,  8,  8,  8,  8,  8, 15,  8,  8,  8,  8,  8,  8,  8, 15,  8,  // Cx  SET 0,1
      8,  8,  8,  8,  8,  8, 15,  8,  8,  8,  8,  8,  8,  8, 15,  8,  // Dx  SET 2,3
      8,  8,  8,  8,  8,  8, 15,  8,  8,  8,  8,  8,  8,  8, 15,  8,  // Ex  SET 4,5
      8,  8,  8,  8,  8,  8, 15,  8,  8,  8,  8,  8,  8,  8, 15,  8,  // Fx  SET 6,7
};
static_assert(t_cb[0x06] == 15 && t_cb[0x46] == 12 && t_cb[0x7E] == 12 && t_cb[0xC6] == 15 &&
                  t_cb[0x00] == 8 && t_cb[0xFF] == 8,
              "CB charges: rotate (HL), BIT (HL), SET (HL), register forms");

// ED page. Bytes without an instruction cost 4. For the repeating block
// instructions (row Bx) this is the charge of the step that ends the
// repetition; t_ed_rep holds the charge of a step that repeats.
//
// QUIRK: many entries differ from the published timings (ADC/SBC HL 16,
// LD (nn),rr and LD rr,(nn) 24, LD I,A and LD R,A 8, LD A,R 8, RRD/RLD 20,
// LDI 20, CPI/CPD 20, OUTI/OUTD 24, the empty rows 4, ...). This machine
// counts time in whole-instruction totals and these totals are its timing,
// so they are kept rather than brought into line with the chip.
inline constexpr uint8_t t_ed[256] = {
//   x0  x1  x2  x3  x4  x5  x6  x7  x8  x9  xA  xB  xC  xD  xE  xF
      4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  // 0x
      4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  // 1x
      4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  // 2x
      4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  // 3x
     12, 12, 16, 24,  8, 14,  8,  8, 12, 12, 16, 24,  8, 14,  8,  8,  // 4x
     12, 12, 16, 24,  8, 14,  8,  9, 12, 12, 16, 24,  8, 14,  8,  8,  // 5x
     12, 12, 16, 24,  8, 14,  8, 20, 12, 12, 16, 24,  8, 14,  8, 20,  // 6x
     12, 12, 16, 24,  8, 14,  8,  4, 12, 12, 16, 24,  8, 14,  8,  4,  // 7x
      4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  // 8x
      4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  // 9x
     20, 20, 24, 24,  4,  4,  4,  4, 16, 20, 24, 24,  4,  4,  4,  4,  // Ax  LDI CPI INI OUTI / LDD CPD IND OUTD
     20, 20, 24, 24,  4,  4,  4,  4, 16, 20, 24, 24,  4,  4,  4,  4,  // Bx  last step of LDIR CPIR INIR OTIR / LDDR ...
      4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  // Cx
      4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  // Dx
      4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  // Ex
      4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  // Fx
};
static_assert(t_ed[0x00] == 4 && t_ed[0x43] == 24 && t_ed[0x57] == 9 && t_ed[0x5F] == 8 &&
                  t_ed[0xA0] == 20 && t_ed[0xA8] == 16 && t_ed[0x70] == 12 && t_ed[0x71] == 12,
              "ED charges: no-op, LD (nn),rr, LD A,I against LD A,R, LDI against LDD, IN (C), OUT (C),0");

// Charge of a repeating block step that moves pc back onto itself; 0 for
// every instruction that cannot repeat. A compare that stops early (match
// found) is charged the last-step entry of t_ed.
inline constexpr uint8_t t_ed_rep[256] = {
//   x0  x1  x2  x3  x4  x5  x6  x7  x8  x9  xA  xB  xC  xD  xE  xF
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 0x
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 1x
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 2x
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 3x
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 4x
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 5x
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 6x
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 7x
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 8x
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 9x
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // Ax
     32, 28, 24, 24,  0,  0,  0,  0, 21, 28, 24, 24,  0,  0,  0,  0,  // Bx  LDIR CPIR INIR OTIR / LDDR CPDR INDR OTDR
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // Cx
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // Dx
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // Ex
      0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // Fx
};
static_assert(t_ed_rep[0xB0] == 32 && t_ed_rep[0xB8] == 21 && t_ed_rep[0xB1] == 28 && t_ed_rep[0xB9] == 28,
              "ED repeat charges: LDIR against LDDR, CPIR and CPDR");

// Every instruction that can move pc back onto itself must charge time, so
// that a scanline always ends.
namespace cbed_detail {
constexpr bool repeats_charge() {
    for (int op = 0; op < 256; ++op)
        if (t_ed_rep[op] && (t_ed_rep[op] < t_ed[op] || t_ed[op] == 0)) return false;
    return true;
}
}  // namespace cbed_detail
static_assert(cbed_detail::repeats_charge(), "a repeating step charges at least its last step");
