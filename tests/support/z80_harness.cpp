#include "z80_harness.h"

#include <cstdio>
#include <cstring>

#include "ula/ula.h"

void z80_fresh() {
    static bool tables_built = false;
    if (!tables_built) {
        initz80();
        build_dsquare_table();
        tables_built = true;
    }
    af.w = bc.w = de.w = hl.w = ix.w = iy.w = ir.w = 0;
    saf.w = sbc.w = sde.w = shl.w = 0;
    sp = pc = 0;
    iff1 = iff2 = im = intreq = 0;
    cycles = 0;
    tempc = 0;
    std::memset(ram, 0, ram_size);
    std::memset(lorom, 0, rom_size);
    std::memset(dsquare, 0, squares);
    uladat = 0;
}

void z80_poke(uint16_t addr, std::initializer_list<uint8_t> bytes) {
    for (uint8_t v : bytes) {
        if (addr < 0x4000) lorom[addr] = v;
        else ram[addr] = v;
        addr = uint16_t(addr + 1);
    }
}

void z80_program(std::initializer_list<uint8_t> bytes, uint16_t at) {
    z80_poke(at, bytes);
    pc = at;
}

int z80_step_cost() {
    int before = cycles;
    stepz80();
    return before - cycles;
}

int dirty_count() {
    int n = 0;
    for (uint8_t v : dsquare) n += v;
    return n;
}

int square_of(uint16_t addr) {
    int o = addr - 0x4000;
    if (o < 6144) return (((o >> 11) & 3) * 8 + ((o >> 5) & 7)) * 32 + (o & 31);
    return o - 6144;
}

std::string hex(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X", v);
    return buf;
}
