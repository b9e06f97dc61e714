// Byte and word names of the register file for the instruction code and the
// processor tests. Each name is a reference bound at compile time to its half
// of a pair, so the compiler addresses the byte directly.
#pragma once

#include "z80/z80.h"

inline uint8_t &a = af.by.hi;
inline uint8_t &f = af.by.lo;
inline uint8_t &b = bc.by.hi;
inline uint8_t &c = bc.by.lo;
inline uint8_t &d = de.by.hi;
inline uint8_t &e = de.by.lo;
inline uint8_t &h = hl.by.hi;
inline uint8_t &l = hl.by.lo;
inline uint8_t &ixh = ix.by.hi;
inline uint8_t &ixl = ix.by.lo;
inline uint8_t &iyh = iy.by.hi;
inline uint8_t &iyl = iy.by.lo;
inline uint8_t &i_reg = ir.by.hi;
inline uint8_t &r_reg = ir.by.lo;

// Flag bits of F.
constexpr uint8_t F_S = 0x80;
constexpr uint8_t F_Z = 0x40;
constexpr uint8_t F_5 = 0x20;
constexpr uint8_t F_H = 0x10;
constexpr uint8_t F_3 = 0x08;
constexpr uint8_t F_P = 0x04;
constexpr uint8_t F_N = 0x02;
constexpr uint8_t F_C = 0x01;

// An opcode byte from its fields: xx yyy zzz. Case labels are spelled with it
// so that the bit structure of each group stays visible.
constexpr uint8_t opc(int x, int y, int z) { return uint8_t(x << 6 | y << 3 | z); }
