// The memory rules, one definition each. They are inline and charge nothing:
// every instruction subtracts its own whole cost.
#pragma once

#include "screen/screen.h"
#include "z80/z80.h"

// Read rule: ROM for 0x0000..0x3FFF, ram above.
inline uint8_t rd8(uint16_t addr) { return readarray[addr >> 14][addr]; }

// Write rule: store into ram (writes to the ROM area land in its unread low
// part), then mark the character square of any display byte written.
inline void wr8(uint16_t addr, uint8_t v) {
    writearray[addr >> 14][addr] = v;
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

// Instruction-stream fetches advance pc, wrapping within 16 bits.
inline uint8_t fetch8() { return rd8(pc++); }
inline uint16_t fetch16() {
    uint16_t lo = fetch8();
    return uint16_t(lo | fetch8() << 8);
}

// Stack: a push stores the high byte first, at sp - 1, then the low byte.
inline void push16(uint16_t v) {
    wr8(--sp, uint8_t(v >> 8));
    wr8(--sp, uint8_t(v));
}
inline uint16_t pop16() {
    uint16_t lo = rd8(sp++);
    return uint16_t(lo | rd8(sp++) << 8);
}
