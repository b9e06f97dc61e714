// Flag tables and the twelve flag helpers. The instruction code never works
// out flags bit by bit: it looks them up here. Each helper writes only F;
// the calling instruction stores its own result.
#pragma once

#include <array>
#include <cstdint>

#include "z80/z80_regs.h"

// S, Z, bits 5 and 3 and even parity of an 8-bit value.
extern uint8_t znptable[256];
// S (bit 15), Z and even parity over all 16 bits of a 16-bit value.
extern uint8_t znptable16[65536];
// Fills znptable and znptable16; called once by initz80.
void makeznptable();

namespace daa_detail {
constexpr bool even_parity(unsigned v) {
    unsigned n = 0;
    for (; v; v >>= 1) n += v & 1;
    return (n & 1) == 0;
}
// The whole new AF of DAA for accumulator acc and old flags C, H, N.
constexpr uint16_t daa_entry(unsigned acc, unsigned cf, unsigned hf, unsigned nf) {
    unsigned corr = 0;
    if (hf || (acc & 0x0F) > 9) corr |= 0x06;
    if (cf || acc > 0x99) corr |= 0x60;
    unsigned na = (nf ? acc - corr : acc + corr) & 0xFF;
    unsigned nc = (cf || acc > 0x99) ? 1 : 0;
    unsigned nh = nf ? (hf && (acc & 0x0F) < 6) : ((acc & 0x0F) > 9);
    unsigned nfl = (na & 0xA8) | (na == 0 ? 0x40 : 0) | (even_parity(na) ? 0x04 : 0) |
                   (nh ? 0x10 : 0) | (nf ? 0x02 : 0) | nc;
    return uint16_t(na << 8 | nfl);
}
constexpr std::array<uint16_t, 2048> make_daa_table() {
    std::array<uint16_t, 2048> t{};
    for (unsigned i = 0; i < 2048; ++i)
        t[i] = daa_entry(i & 0xFF, (i >> 8) & 1, (i >> 9) & 1, (i >> 10) & 1);
    return t;
}
}  // namespace daa_detail

// Index: A + 256 x C + 512 x H + 1024 x N. Entry: the whole new AF.
inline constexpr std::array<uint16_t, 2048> DAATable = daa_detail::make_daa_table();
static_assert(DAATable[0x000] == 0x0044 && DAATable[0x009] == 0x090C && DAATable[0x00A] == 0x1010 &&
                  DAATable[0x09A] == 0x0055 && DAATable[0x40F] == 0x090E,
              "DAA table examples");

// Logic results: S, Z, 5, 3, P from r; H and N kept; C cleared.
inline void setzn(uint8_t r) { f = uint8_t((f & 0x12) | znptable[r]); }
// Shifts and rotates: as setzn, but C kept.
inline void setznc(uint8_t r) { f = uint8_t((f & 0x13) | znptable[r]); }

inline void setadd(uint8_t a_, uint8_t b_) {
    int sum = a_ + b_;
    int ssum = int8_t(a_) + int8_t(b_);
    uint8_t fl = znptable[sum & 0xFF] & 0xFA;
    if (sum > 255) fl |= F_C;
    if (ssum < -128 || ssum > 127) fl |= F_P;
    if ((a_ & 0x0F) + (b_ & 0x0F) > 15) fl |= F_H;
    f = fl;
}

inline void setadc(uint8_t a_, uint8_t b_) {
    int cin = tempc;
    int sum = a_ + b_ + cin;
    int ssum = int8_t(a_) + int8_t(b_) + cin;
    uint8_t fl = znptable[sum & 0xFF] & 0xFB;
    if (sum > 255) fl |= F_C;
    if (ssum < -128 || ssum > 127) fl |= F_P;
    if ((a_ & 0x0F) + (b_ & 0x0F) + cin > 15) fl |= F_H;
    f = fl;
}

// The subtracting helpers take the half-borrow from bit 3 alone: H is set
// when bit 3 of a is 0 and bit 3 of the difference is 1.
inline void setsub(uint8_t a_, uint8_t b_) {
    int diff = a_ - b_;
    int sdiff = int8_t(a_) - int8_t(b_);
    uint8_t fl = (znptable[diff & 0xFF] | F_N) & 0xFB;
    if (sdiff < -128 || sdiff > 127) fl |= F_P;
    if (!(a_ & 0x08) && (diff & 0x08)) fl |= F_H;
    if (a_ < b_) fl |= F_C;
    f = fl;
}

inline void setsbc(uint8_t a_, uint8_t b_) {
    int cin = tempc;
    int diff = a_ - b_ - cin;
    int sdiff = int8_t(a_) - int8_t(b_) - cin;
    uint8_t fl = (znptable[diff & 0xFF] | F_N) & 0xFB;
    if (sdiff < -128 || sdiff > 127) fl |= F_P;
    if (!(a_ & 0x08) && (diff & 0x08)) fl |= F_H;
    if (a_ < b_ + cin) fl |= F_C;
    f = fl;
}

inline void setcp(uint8_t a_, uint8_t b_) { setsub(a_, b_); }

inline void setinc(uint8_t r) {
    uint8_t fl = uint8_t(((f & F_C) | znptable[r]) & ~F_P);
    if (r == 0x80) fl |= F_P;
    if ((r & 0x0F) == 0) fl |= F_H;
    f = fl;
}

// H is set when the low five bits of the result are all 0 (bit 4 of r - 1
// set and bit 4 of r clear).
inline void setdec(uint8_t r) {
    uint8_t fl = uint8_t(((f & F_C) | znptable[r] | F_N) & ~F_P);
    if (r == 0x7F) fl |= F_P;
    if (((r - 1) & 0x10) && !(r & 0x10)) fl |= F_H;
    f = fl;
}

// H only for a carry that turns bits 12..11 from 01 into 10.
inline void setadd16(uint16_t a_, uint16_t b_) {
    unsigned sum = unsigned(a_) + b_;
    uint8_t fl = f & 0xEC;
    if (sum > 0xFFFF) fl |= F_C;
    if ((a_ & 0x1800) == 0x0800 && (sum & 0x1800) == 0x1000) fl |= F_H;
    f = fl;
}

inline void setadc16(uint16_t a_, uint16_t b_) {
    int cin = tempc;
    unsigned sum = unsigned(a_) + b_ + unsigned(cin);
    int ssum = int16_t(a_) + int16_t(b_) + cin;
    uint8_t fl = znptable16[sum & 0xFFFF] & 0xFB;
    if (ssum < -32768 || ssum > 32767) fl |= F_P;
    if ((a_ & 0x0FFF) + (b_ & 0x0FFF) + unsigned(cin) > 0x0FFF) fl |= F_H;
    if (sum > 0xFFFF) fl |= F_C;
    f = fl;
}

// Takes the carry from F itself, not from tempc; bits 5 and 3 are kept.
inline void setsbc16(uint16_t a_, uint16_t b_) {
    int cin = f & F_C;
    int diff = int(a_) - int(b_) - cin;
    int sdiff = int16_t(a_) - int16_t(b_) - cin;
    uint8_t fl = uint8_t(((f & 0x28) | znptable16[diff & 0xFFFF] | F_N) & ~F_P);
    if (sdiff < -32768 || sdiff > 32767) fl |= F_P;
    if (!(a_ & 0x0800) && (diff & 0x0800)) fl |= F_H;
    if (int(a_) < int(b_) + cin) fl |= F_C;
    f = fl;
}

// The accumulator rotates RLCA, RRCA, RLA and RRA: A takes the result, C the
// bit moved out, bits 5 and 3 follow the new A; S, Z and P/V are left alone.
// QUIRK: H and N are kept (the Z80 clears them).
inline void rota(uint8_t r, unsigned out) {
    a = r;
    f = uint8_t((f & (F_S | F_Z | F_H | F_P | F_N)) | (r & (F_5 | F_3)) | out);
}

// The eight rotates and shifts of the CB page and the index bit page. Each
// sets C to the bit moved out and S, Z, 5, 3 and P from the result, keeping
// H and N, and returns the result for the caller to store. RL and RR move in
// the carry as it stood before the instruction (tempc), never the new C.
inline uint8_t shifted(uint8_t r, unsigned out) {
    f = uint8_t((f & ~F_C) | out);
    setznc(r);
    return r;
}
inline uint8_t rlc8(uint8_t v) { return shifted(uint8_t(v << 1 | v >> 7), v >> 7); }
inline uint8_t rrc8(uint8_t v) { return shifted(uint8_t(v >> 1 | v << 7), v & 1); }
inline uint8_t rl8(uint8_t v) { return shifted(uint8_t(v << 1 | tempc), v >> 7); }
inline uint8_t rr8(uint8_t v) { return shifted(uint8_t(v >> 1 | tempc << 7), v & 1); }
inline uint8_t sla8(uint8_t v) { return shifted(uint8_t(v << 1), v >> 7); }
inline uint8_t sra8(uint8_t v) { return shifted(uint8_t(v >> 1 | (v & 0x80)), v & 1); }
inline uint8_t sll8(uint8_t v) { return shifted(uint8_t(v << 1 | 1), v >> 7); }
inline uint8_t srl8(uint8_t v) { return shifted(uint8_t(v >> 1), v & 1); }
