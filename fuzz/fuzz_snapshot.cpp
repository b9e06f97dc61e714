// Fuzz target for one snapshot loader (FUZZ_Z80 picks .z80, else .sna).
//
// Any input must load or be rejected; a rejected input must leave the whole
// machine (registers, memory, dirty squares) exactly as it was, and an
// accepted one must leave the ROM and the state no loader owns alone.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "screen/screen.h"
#include "ula/ula.h"
#include "z80/z80.h"

namespace {

struct machine {
    pair regs[11];
    uint16_t sp, pc;
    int32_t iff1, iff2, im, intreq, cycles;
    uint8_t uladat;
    uint8_t ram[ram_size];
    uint8_t rom[rom_size];
    uint8_t dirty[squares];
};

machine before;

void capture(machine &m) {
    const pair regs[11] = {af, bc, de, hl, ix, iy, ir, saf, sbc, sde, shl};
    std::memcpy(m.regs, regs, sizeof regs);
    m.sp = sp, m.pc = pc;
    m.iff1 = iff1, m.iff2 = iff2, m.im = im, m.intreq = intreq, m.cycles = cycles;
    m.uladat = uladat;
    std::memcpy(m.ram, ram, ram_size);
    std::memcpy(m.rom, lorom, rom_size);
    std::memcpy(m.dirty, dsquare, squares);
}

bool same_registers(const machine &a, const machine &b) {
    for (int k = 0; k < 11; ++k)
        if (a.regs[k].w != b.regs[k].w) return false;
    return a.sp == b.sp && a.pc == b.pc && a.iff1 == b.iff1 && a.iff2 == b.iff2 && a.im == b.im;
}

machine after;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    initz80();
    build_dsquare_table();
    for (int a = 0; a < rom_size; ++a) lorom[a] = uint8_t(a * 7 + 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    // A machine in a known, busy state before each load.
    static uint8_t busy_ram[ram_size], busy_dirty[squares];
    static bool made = false;
    if (!made) {
        for (int a = 0; a < ram_size; ++a) busy_ram[a] = uint8_t(a * 31 + 7);
        for (int q = 0; q < squares; ++q) busy_dirty[q] = uint8_t(q % 3 == 0);
        made = true;
    }
    std::memcpy(ram, busy_ram, ram_size);
    std::memcpy(dsquare, busy_dirty, squares);
    af.w = 0x0101, bc.w = 0x0202, de.w = 0x0303, hl.w = 0x0404, ix.w = 0x0505, iy.w = 0x0606;
    ir.w = 0x0707, saf.w = 0x0808, sbc.w = 0x0909, sde.w = 0x0A0A, shl.w = 0x0B0B;
    sp = 0x0C0C, pc = 0x0D0D, iff1 = 1, iff2 = 1, im = 1, intreq = 1, cycles = -3, uladat = 0x17;
    capture(before);

#if FUZZ_Z80
    snapshot_result result = openz80_bytes(data, size, "fuzz.z80");
#else
    snapshot_result result = opensna_bytes(data, size, "fuzz.sna");
#endif
    capture(after);
    if (!result.ok) {
        if (!same_registers(before, after) || std::memcmp(before.ram, after.ram, ram_size) ||
            std::memcmp(before.dirty, after.dirty, squares) || result.caption.empty())
            std::abort();  // a rejected file changed the machine
    } else {
        if (after.iff1 > 1 || after.iff2 > 1 || after.iff1 < 0 || after.iff2 < 0) std::abort();
    }
    if (std::memcmp(before.rom, after.rom, rom_size) || after.intreq != before.intreq ||
        after.cycles != before.cycles || after.uladat != before.uladat)
        std::abort();  // state no loader owns was touched
    return 0;
}
