// Processor state, memory map, ROM, reset, ports and the frame loop.
#include "z80/z80.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "joystick/joystick.h"
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

bool loadrom_given(const std::string &path) {
    std::string error;
    if (loadrom_file(path, error)) return true;
    std::fprintf(stderr, "brenvik: %s; the ROM named with --rom is the only one tried.\n", error.c_str());
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
    // Odd ports read 0, not 0xFF, except the Kempston joystick's.
    if (port & 1) return (port & 0xFF) == kempston_port ? kempston : 0;
    return uint8_t(readula(port));
}

void z80out(uint16_t port, uint8_t value) {
    if (!(port & 1)) writeula(value);
}

void execz80() {
    for (int line = 0; line < lines_per_frame; ++line) {
        pollline(line);
        cycles += tstates_per_line;
        while (cycles > 0) {
#include "z80/z80_step.inc"
        }
    }
}

void stepz80() {
#include "z80/z80_step.inc"
}
