// Processor state, memory map, ROM, reset, ports and the frame loop.
#include "z80/z80.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "ula/ula.h"
#include "z80/z80_flags.h"
#include "z80/z80_mem.h"
#include "z80/z80_charges.h"
#include "z80/z80_charges_cbed.h"
#include "z80/z80_charges_xy.h"
#include "z80/z80_regs.h"

pair af, bc, de, hl, ix, iy, ir;
pair saf, sbc, sde, shl;
uint16_t sp, pc;
int32_t iff1, iff2, im, intreq;
int32_t cycles;
int32_t tempc;

alignas(64) uint8_t ram[ram_size];
alignas(64) uint8_t lorom[rom_size];
uint8_t *readarray[4];
uint8_t *writearray[4];

void initz80() {
    makeznptable();
    readarray[0] = lorom;
    readarray[1] = readarray[2] = readarray[3] = ram;
    writearray[0] = writearray[1] = writearray[2] = writearray[3] = ram;
}

bool loadrom_file(const std::string &path, std::string &error) {
    FILE *fp = std::fopen(path.c_str(), "rb");
    if (!fp) {
        error = "cannot open the ROM image \"" + path + "\": " + std::strerror(errno);
        return false;
    }
    // Read one byte more than a ROM holds, so that a longer file is noticed.
    static uint8_t buf[rom_size + 1];
    size_t got = std::fread(buf, 1, sizeof buf, fp);
    bool read_error = std::ferror(fp);
    std::fclose(fp);
    if (read_error) {
        error = "cannot read the ROM image \"" + path + "\"";
        return false;
    }
    if (got != size_t(rom_size)) {
        error = "the ROM image \"" + path + "\" is " +
                (got > size_t(rom_size) ? std::string("longer than") : std::to_string(got) + " bytes, not") +
                " 16384 bytes";
        return false;
    }
    std::memcpy(lorom, buf, rom_size);
    return true;
}

namespace {
// The working directory, for messages that name a relative path.
std::string working_directory() {
    char buf[4096];
    return getcwd(buf, sizeof buf) ? std::string(buf) : std::string(".");
}
}  // namespace

bool loadroms() {
    std::string error;
    struct stat st;
    if (stat(rom_name, &st) == 0) {
        // A 48.rom that is present but unusable is reported, never passed over.
        if (loadrom_file(rom_name, error)) return true;
        std::fprintf(stderr, "brenvik: %s (in the working directory %s).\n", error.c_str(),
                     working_directory().c_str());
    } else {
        if (loadrom_file(default_rom_path, error)) {
            std::fprintf(stderr, "brenvik: no %s in the working directory; using the OpenSE BASIC ROM %s.\n",
                         rom_name, default_rom_path);
            return true;
        }
        std::fprintf(stderr, "brenvik: no %s in the working directory %s, and %s.\n", rom_name,
                     working_directory().c_str(), error.c_str());
    }
    std::fprintf(stderr,
                 "brenvik: a ZX Spectrum 48K ROM image of exactly 16384 bytes is needed: put it in the working\n"
                 "directory as %s, or install the free default ROM with: sudo apt-get install opense-basic\n",
                 rom_name);
    return false;
}

void resetz80() {
    pc = 0;
    iff2 = 0;
    iff1 = 0;
    std::memset(ram, 0, sizeof ram);
}

uint8_t pull() { return rd8(sp++); }

uint8_t z80in(uint16_t port) {
    if (port & 1) return 0;  // odd ports read 0, not 0xFF
    return uint8_t(readula(port));
}

void z80out(uint16_t port, uint8_t value) {
    if (!(port & 1)) writeula(value);
}

// ---- The frame loop and the single step ----
//
// The instruction code works on copies of the state every instruction
// touches (pc, sp, cycles, R, iff1 and the interrupt request) in locals of
// the block that runs it (execz80's scanline, stepz80), which the compiler
// keeps in host registers: nothing else can reach them. The globals of the
// same names hold the state between blocks and for every other module. The
// names defined below stand, in the text of z80_step.inc, for the z80_mem.h
// forms and the port functions on the copies. The copies go back to the
// globals before anything outside the instruction code can look: around
// every port call (cycles then stands as before the instruction's own charge,
// as the port side expects), at the end of every scanline before pollline,
// and when execz80 and stepz80 return. After a port call they are taken up
// again, as the port side may change them.
#define WORK_COPIES(X) \
    X(uint16_t, pc) X(uint16_t, sp) X(int32_t, cycles) X(uint8_t, r_reg) X(int32_t, iff1) X(int32_t, intreq)
#define DECLARE_COPY(type, name) type name = ::name;
#define STORE_COPY(type, name) ::name = name,
#define LOAD_COPY(type, name) name = ::name,
// The working copies, and the value of the port read in progress.
#define WORKING_COPIES WORK_COPIES(DECLARE_COPY) uint8_t port_value = 0
#define STORE_WORK (WORK_COPIES(STORE_COPY) void(0))

#define fetch8() fetch8_at(pc)
#define fetch16() fetch16_at(pc)
#define push16(v) push16_on(sp, v)
#define pop16() pop16_from(sp)
#define z80in(port) (WORK_COPIES(STORE_COPY) port_value = z80in(port), WORK_COPIES(LOAD_COPY) port_value)
#define z80out(port, value) (WORK_COPIES(STORE_COPY) z80out(port, value), WORK_COPIES(LOAD_COPY) void(0))

void execz80() {
    for (int line = 0; line < lines_per_frame; ++line) {
        pollline(line);
        ::cycles += tstates_per_line;
        WORKING_COPIES;
        while (cycles > 0) {
#include "z80/z80_step.inc"
        }
        STORE_WORK;
    }
}

void stepz80() {
    WORKING_COPIES;
#include "z80/z80_step.inc"
    STORE_WORK;
}

#undef WORKING_COPIES
#undef STORE_WORK
#undef LOAD_COPY
#undef STORE_COPY
#undef DECLARE_COPY
#undef WORK_COPIES
#undef z80out
#undef z80in
#undef pop16
#undef push16
#undef fetch16
#undef fetch8
