#include "z80/z80_flags.h"

uint8_t znptable[256];
uint8_t znptable16[65536];

namespace {
int ones(unsigned v) {
    int n = 0;
    for (; v; v >>= 1) n += int(v & 1);
    return n;
}
}  // namespace

void makeznptable() {
    for (unsigned v = 0; v < 256; ++v)
        znptable[v] = uint8_t((v & 0xA8) | (ones(v) % 2 == 0 ? 0x04 : 0));
    znptable[0] |= 0x40;
    for (unsigned w = 0; w < 65536; ++w)
        znptable16[w] = uint8_t((w & 0x8000 ? 0x80 : 0) | (ones(w) % 2 == 0 ? 0x04 : 0));
    znptable16[0] |= 0x40;
}
