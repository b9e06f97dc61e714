// The emulated Z80 and the fixed 48K memory map it runs in.
//
// All processor state is global: the instruction code, the snapshot loaders
// and the renderer read and write it directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A register pair: the 16-bit value and its two bytes. The low byte (F, C,
// E, L, R, IXl, IYl) lies at the lower address, so the halves alias the pair
// on a little-endian host, which is the only kind we build for.
union pair {
    uint16_t w;
    struct {
        uint8_t lo, hi;
    } by;
};
static_assert(sizeof(pair) == 2, "a register pair must be 16 bits");

extern pair af, bc, de, hl, ix, iy, ir;   // ir: I in the high byte, R in the low
extern pair saf, sbc, sde, shl;           // the alternate set AF', BC', DE', HL'
extern uint16_t sp, pc;

// iff1: 0 off, 1 on, 2 and 3 the two steps of the EI delay.
extern int32_t iff1, iff2, im, intreq;
// T-states still to run in the current scanline; zero or less ends the line,
// and a negative value is a debt carried into the next one.
extern int32_t cycles;
// The carry flag as it stood when the current instruction began.
extern int32_t tempc;

// Memory. Spectrum address a is byte a of ram; 0x0000..0x3FFF of ram only
// catches writes to the ROM area and is never read by the processor.
constexpr int ram_size = 65536;
constexpr int rom_size = 16384;
extern uint8_t ram[ram_size];
extern uint8_t lorom[rom_size];
// One pointer per 16 KB page (address >> 14), each the host address that
// corresponds to Spectrum address 0, so the byte for a is pointer[a >> 14][a].
extern uint8_t *readarray[4];
extern uint8_t *writearray[4];

// Builds the flag tables and the page tables. Called once, first.
void initz80();

// Reads the 16 KB ROM image. "48.rom" in the working directory is used when
// present; otherwise the free OpenSE BASIC ROM that Debian installs. Returns
// true when a whole ROM was read into lorom; on failure prints a message on
// standard error, leaves lorom untouched and returns false.
bool loadroms();
// As loadroms, from one given file only (no fallback). Used by loadroms and tests.
bool loadrom_file(const std::string &path, std::string &error);
// The ROM named on the command line: that file only, with a message on
// standard error when it cannot be used.
bool loadrom_given(const std::string &path);
constexpr const char *rom_name = "48.rom";
constexpr const char *default_rom_path = "/usr/share/spectrum-roms/opense.rom";

// The processor reset: pc = 0, interrupts off, all 64 KB of ram cleared.
void resetz80();

// Pops one byte from the stack.
uint8_t pull();

// Port reads and writes. Even ports reach the ULA; odd ports read 0 and
// ignore writes.
uint8_t z80in(uint16_t port);
void z80out(uint16_t port, uint8_t value);

// Runs one Spectrum frame: 312 scanlines of 224 T-states.
void execz80();
// Runs exactly one instruction, with its end-of-instruction step (R, the
// interrupt test and the EI delay). The same handlers as execz80 runs.
void stepz80();

constexpr int lines_per_frame = 312;
constexpr int tstates_per_line = 224;
constexpr int tstates_per_frame = lines_per_frame * tstates_per_line;

// ---- Snapshots ----
// Each loader reads and checks the whole file before it touches the machine,
// then replaces the machine state in one step. A rejected file leaves every
// register and every byte of memory as it was; the result then says why, for
// the caller to show.
struct snapshot_result {
    bool ok;
    std::string caption;  // message box caption when !ok ("Not Found" for unopenable files)
    std::string text;     // message box text when !ok
};
snapshot_result opensna(const char *path);
snapshot_result openz80(const char *path);
// The same loaders over a file already in memory; name stands for the file in messages.
snapshot_result opensna_bytes(const uint8_t *data, std::size_t size, const std::string &name);
snapshot_result openz80_bytes(const uint8_t *data, std::size_t size, const std::string &name);
// Where the extension of path begins (after the last dot of its file name),
// or path.size() when it has none.
std::size_t snapshot_extension(const std::string &path);
// Loads path with the loader its extension's first letter picks: Z or z the
// .z80 loader, anything else (or no extension) the .sna loader.
snapshot_result opensnapshot(const std::string &path, std::size_t extension);

// ---- Saving snapshots ----
// The builders read the machine and change nothing of it.
enum class snapshot_format { none, z80, sna };
// The format a file name asks for when saving: its extension .z80 or .sna, in
// any letter case; none for any other extension or none at all.
snapshot_format save_format(const std::string &path);
// The machine as a .z80 version 3 file of a 48K Spectrum, its three pages
// packed. The EI delay (iff1 2 or 3) is saved as interrupts enabled.
std::vector<uint8_t> savez80_bytes();
// The machine as a .sna file, the program counter pushed onto the stack of
// the file's copy of memory. Refused (false, with the reason, which suggests
// .z80) when loading the file would not give this state back: the stack
// pointer 0x0001..0x4001 (the pushed bytes would lie in the ROM), 0x4002..0x5B01
// (they would be written over the screen), or iff1 and iff2 differing.
bool savesna_bytes(std::vector<uint8_t> &out, std::string &reason);
// Builds the file path's extension asks for and writes it with
// write_file_atomically. When !ok, caption and text are for a message box;
// the text names the file and the reason.
snapshot_result savesnapshot(const std::string &path);
