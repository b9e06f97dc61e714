// The memory rules, one definition each. They are inline and charge nothing:
// every instruction subtracts its own whole cost.
#pragma once

#include "screen/screen.h"
#include "z80/z80.h"

// Read rule: ROM for 0x0000..0x3FFF, ram above.
inline uint8_t rd8(uint16_t addr) { return readarray[addr >> 14][addr]; }

// Write rule: store into ram (writes to the ROM area land in its unread low
// part), then mark the character square of any display byte written. Every
// page of writearray is ram, and the store names ram itself: a store through
// a byte pointer could be any object to the compiler, a register among them,
// and would make it reload every register after each write.
inline void wr8(uint16_t addr, uint8_t v) {
    ram[addr] = v;
    if (addr >= 0x4000 && addr < 0x5B00) dsquare[dsquare_table[addr - 0x4000]] = 1;
}

// 16-bit values are little-endian; the second byte's address wraps.
inline uint16_t rd16(uint16_t addr) {
    return uint16_t(rd8(addr) | rd8(uint16_t(addr + 1)) << 8);
}
inline void wr16(uint16_t addr, uint16_t v) {
    wr8(addr, uint8_t(v));
    wr8(uint16_t(addr + 1), uint8_t(v >> 8));
}

// Instruction-stream fetches advance the program counter at, wrapping
// within 16 bits.
inline uint8_t fetch8_at(uint16_t &at) { return rd8(at++); }
inline uint16_t fetch16_at(uint16_t &at) {
    uint16_t lo = fetch8_at(at);
    return uint16_t(lo | fetch8_at(at) << 8);
}

// Stack: a push stores the high byte first, at stack - 1, then the low byte.
inline void push16_on(uint16_t &stack, uint16_t v) {
    wr8(--stack, uint8_t(v >> 8));
    wr8(--stack, uint8_t(v));
}
inline uint16_t pop16_from(uint16_t &stack) {
    uint16_t lo = rd8(stack++);
    return uint16_t(lo | rd8(stack++) << 8);
}

// The same on the processor's own pc and sp. Inside execz80 and stepz80 the
// instruction code runs on working copies instead (z80.cpp).
inline uint8_t fetch8() { return fetch8_at(pc); }
inline uint16_t fetch16() { return fetch16_at(pc); }
inline void push16(uint16_t v) { push16_on(sp, v); }
inline uint16_t pop16() { return pop16_from(sp); }
