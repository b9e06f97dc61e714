// Processor state, memory map, ROM, reset, ports and the frame loop.
#include "z80/z80.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "beam/beam.h"
#include "files/files.h"
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

namespace {
// A reason from read_whole_file as part of a sentence: "It is a folder, not
// a file." becomes "it is a folder, not a file".
std::string clause(std::string reason) {
    if (!reason.empty() && reason.back() == '.') reason.pop_back();
    if (reason.size() > 1 && reason[0] >= 'A' && reason[0] <= 'Z' && !(reason[1] >= 'A' && reason[1] <= 'Z'))
        reason[0] = char(reason[0] - 'A' + 'a');
    return reason;
}
}  // namespace

bool loadrom_file(const std::string &path, std::string &error) {
    std::vector<uint8_t> data;
    const std::string quoted = "\"" + path + "\"";
    file_read got = read_whole_file(path, rom_size, data);
    switch (got.failure) {
    case read_failure::none: break;
    case read_failure::cannot_open:
        error = "cannot open the ROM image " + quoted + ": " + got.reason;
        return false;
    case read_failure::too_large:
        error = "the ROM image " + quoted + " is longer than 16384 bytes";
        return false;
    case read_failure::not_regular:
    case read_failure::read_error:
        error = "cannot read the ROM image " + quoted + ": " + clause(got.reason);
        return false;
    }
    if (data.size() != std::size_t(rom_size)) {
        error = "the ROM image " + quoted + " is " + std::to_string(data.size()) + " bytes, not 16384 bytes";
        return false;
    }
    std::memcpy(lorom, data.data(), rom_size);
    return true;
}

namespace {
// The working directory, for messages that name a relative path.
std::string working_directory() {
    char buf[4096];
    return getcwd(buf, sizeof buf) ? std::string(buf) : std::string(".");
}

// Whether a 48.rom is there at all. A symbolic link counts even when it
// leads nowhere: it is reported rather than passed over for the default.
// Sets error for such a link.
bool rom_present(std::string &error) {
    struct stat st;
    if (lstat(rom_name, &st) != 0) return errno != ENOENT && errno != ENOTDIR;
    if (!S_ISLNK(st.st_mode) || stat(rom_name, &st) == 0) return true;
    int why = errno;
    char target[4096];
    ssize_t n = readlink(rom_name, target, sizeof target - 1);
    std::string where = n > 0 ? std::string(target, std::size_t(n)) : std::string("?");
    error = std::string("the ROM image \"") + rom_name + "\" is a symbolic link to \"" + where + "\", which " +
            (why == ENOENT ? std::string("does not exist") : "cannot be followed: " + std::string(std::strerror(why)));
    return true;
}
}  // namespace

bool loadroms() {
    std::string error;
    if (rom_present(error)) {
        // A 48.rom that is present but unusable is reported, never passed over.
        if (error.empty() && loadrom_file(rom_name, error)) return true;
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
                 "directory as %s, or install the free default ROM as root with: apt-get install opense-basic\n",
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
    // Odd ports read 0, not 0xFF, except the Kempston joystick's; with the
    // floating bus they read what the ULA is fetching.
    if (port & 1) return (port & 0xFF) == kempston_port ? kempston : floating_bus ? floating_bus_byte() : 0;
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
// names defined below stand, in the instruction text, for the z80_mem.h
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

// Built with clang, execz80 dispatches through a table of the handlers'
// addresses (labels as values), and every handler ends with its own
// end-of-instruction test, fetch and jump: the host's branch predictor then
// learns each opcode's likely successor from a jump of its own, instead of
// from one shared jump for all. The text of the handlers is the same for both
// dispatches (z80_base.inc). GCC takes labels as values too, but across the
// 256 computed jumps it keeps the working copies in memory, not in registers,
// and the threaded loop runs slower than its switch; so GCC, other compilers
// and builds with BRENVIK_SWITCH_DISPATCH use the portable switch of
// z80_step.inc, as stepz80 always does.
#if defined(__clang__) && !defined(BRENVIK_SWITCH_DISPATCH)

// A handler's label, from the literal fields of its opcode.
#define HANDLER_LABEL(x, y, z) handler_##x##y##z
#define HANDLERS_8(x, y)                                                                            \
    &&HANDLER_LABEL(x, y, 0), &&HANDLER_LABEL(x, y, 1), &&HANDLER_LABEL(x, y, 2), &&HANDLER_LABEL(x, y, 3), \
    &&HANDLER_LABEL(x, y, 4), &&HANDLER_LABEL(x, y, 5), &&HANDLER_LABEL(x, y, 6), &&HANDLER_LABEL(x, y, 7)
#define HANDLERS_64(x)                                                                        \
    HANDLERS_8(x, 0), HANDLERS_8(x, 1), HANDLERS_8(x, 2), HANDLERS_8(x, 3), HANDLERS_8(x, 4), \
    HANDLERS_8(x, 5), HANDLERS_8(x, 6), HANDLERS_8(x, 7)

// The handler of opc(x, y, z) starts at its label; op is set to the value it
// already holds, which tells the compiler the opcode within the handler.
#define OPCODE(x, y, z) HANDLER_LABEL(x, y, z) : op = opc(x, y, z);
// The next instruction of the scanline, or the scanline's end.
#define DISPATCH                    \
    if (cycles <= 0) goto line_end; \
    op = fetch8();                  \
    tempc = f & F_C;                \
    goto *handlers[op];
// The end of a handler: the end-of-instruction step (R, and the test for a
// pending request or a running EI delay), then the next dispatch.
#define NEXT                                   \
    do {                                       \
        ++r_reg;                               \
        if (intreq | (iff1 & 2)) goto pending; \
        DISPATCH                               \
    } while (0)

void execz80() {
    static void *const handlers[256] = {HANDLERS_64(0), HANDLERS_64(1), HANDLERS_64(2), HANDLERS_64(3)};
    for (int line = 0; line < lines_per_frame; ++line) {
        pollline(line);
        ::cycles += tstates_per_line;
        WORKING_COPIES;
        uint8_t op;
        DISPATCH
#include "z80/z80_base.inc"
    pending:
#include "z80/z80_pending.inc"
        DISPATCH
    line_end:
        STORE_WORK;
    }
}

#undef NEXT
#undef DISPATCH
#undef OPCODE
#undef HANDLERS_64
#undef HANDLERS_8
#undef HANDLER_LABEL

#else

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

#endif

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
