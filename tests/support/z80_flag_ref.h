// Slow reference models of the processor's flag rules, for tests only. They
// work bit by bit (counting, sign tests by xor) so that they share no code
// and no formula with the tables and helpers under test.
#pragma once

#include <cstdint>

namespace ref {

constexpr int S = 0x80, Z = 0x40, F5 = 0x20, H = 0x10, F3 = 0x08, PV = 0x04, N = 0x02, C = 0x01;

inline int bit(unsigned v, int n) { return int((v >> n) & 1u); }

inline bool even_parity(unsigned v, int width) {
    int ones = 0;
    for (int i = 0; i < width; ++i) ones += bit(v, i);
    return ones % 2 == 0;
}

// S, Z, bits 5 and 3 and parity of an 8-bit value.
inline int sz53p(unsigned r) {
    r &= 0xFF;
    return (bit(r, 7) ? S : 0) | (r == 0 ? Z : 0) | (bit(r, 5) ? F5 : 0) | (bit(r, 3) ? F3 : 0) |
           (even_parity(r, 8) ? PV : 0);
}
inline int sz16p(unsigned w) {
    w &= 0xFFFF;
    return (bit(w, 15) ? S : 0) | (w == 0 ? Z : 0) | (even_parity(w, 16) ? PV : 0);
}
inline int sz53(unsigned r) { return sz53p(r) & ~PV; }

// Signed overflow of an addition or subtraction, from the sign bits.
inline bool add_overflow(unsigned a, unsigned b, unsigned r, int top) {
    return bit(a, top) == bit(b, top) && bit(r, top) != bit(a, top);
}
inline bool sub_overflow(unsigned a, unsigned b, unsigned r, int top) {
    return bit(a, top) != bit(b, top) && bit(r, top) != bit(a, top);
}

inline int setzn(int f, unsigned r) { return (f & (H | N)) | sz53p(r); }
inline int setznc(int f, unsigned r) { return (f & (H | N | C)) | sz53p(r); }

inline int setadc(unsigned a, unsigned b, int cin) {
    unsigned full = a + b + unsigned(cin), r = full & 0xFF;
    return sz53(r) | (bit(a ^ b ^ full, 4) ? H : 0) | (add_overflow(a, b, r, 7) ? PV : 0) | (full > 0xFF ? C : 0);
}
inline int setadd(unsigned a, unsigned b) { return setadc(a, b, 0); }

// The subtracting helpers: H when bit 3 goes from 0 in a to 1 in the result.
inline int setsbc(unsigned a, unsigned b, int cin) {
    unsigned r = (a - b - unsigned(cin)) & 0xFF;
    return sz53(r) | N | (!bit(a, 3) && bit(r, 3) ? H : 0) | (sub_overflow(a, b, r, 7) ? PV : 0) |
           (b + unsigned(cin) > a ? C : 0);
}
inline int setsub(unsigned a, unsigned b) { return setsbc(a, b, 0); }

inline int setinc(int f, unsigned r) {
    r &= 0xFF;
    return (f & C) | sz53(r) | (r == 0x80 ? PV : 0) | ((r & 0x0F) == 0 ? H : 0);
}
inline int setdec(int f, unsigned r) {
    r &= 0xFF;
    return (f & C) | sz53(r) | N | (r == 0x7F ? PV : 0) | ((r & 0x1F) == 0 ? H : 0);
}

// ADD rr,rr: H only when bits 12..11 go from 01 in a to 10 in the sum.
inline int setadd16(int f, unsigned a, unsigned b) {
    unsigned sum = a + b;
    bool h = bit(a, 12) == 0 && bit(a, 11) == 1 && bit(sum, 12) == 1 && bit(sum, 11) == 0;
    return (f & (S | Z | F5 | F3 | PV)) | (h ? H : 0) | (sum > 0xFFFF ? C : 0);
}
inline int setadc16(unsigned a, unsigned b, int cin) {
    unsigned full = a + b + unsigned(cin), r = full & 0xFFFF;
    return (sz16p(r) & ~PV) | (bit(a ^ b ^ full, 12) ? H : 0) | (add_overflow(a, b, r, 15) ? PV : 0) |
           (full > 0xFFFF ? C : 0);
}
// The carry comes from f itself; bits 5 and 3 of f are kept.
inline int setsbc16(int f, unsigned a, unsigned b) {
    int cin = f & C;
    unsigned r = (a - b - unsigned(cin)) & 0xFFFF;
    return (f & (F5 | F3)) | (sz16p(r) & ~PV) | N | (!bit(a, 11) && bit(r, 11) ? H : 0) |
           (sub_overflow(a, b, r, 15) ? PV : 0) | (b + unsigned(cin) > a ? C : 0);
}

// DAA: the whole new AF for accumulator a and the old C, H and N.
inline unsigned daa(unsigned a, int cf, int hf, int nf) {
    unsigned low = a % 16;
    unsigned fix = 0;
    if (hf == 1 || low >= 10) fix += 6;
    bool big = cf == 1 || a >= 0x9A;
    if (big) fix += 0x60;
    unsigned na = nf ? (a + 256 - fix) % 256 : (a + fix) % 256;
    int nh = nf == 0 ? (low >= 10) : (hf == 1 && low <= 5);
    int fl = sz53p(na) | (nh ? H : 0) | (nf ? N : 0) | (big ? C : 0);
    return na * 256 + unsigned(fl);
}

}  // namespace ref
