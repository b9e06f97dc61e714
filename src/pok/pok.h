// POKEs: trainers (infinite lives and the like) read from .pok files, and
// single pokes, written into the running machine's memory.
//
// A .pok file is text, one entry a line, read as the established emulators
// read it:
//   N<name>                      a trainer begins
//   M <bank> <addr> <value> <orig>   one poke, more of this trainer follow
//   Z <bank> <addr> <value> <orig>   the trainer's last poke
//   Y                            the end of the file
// All numbers are decimal. A bank of 8 or more means no paging, the only
// kind a 48K machine has; banks 0 to 7 are the 128K's pages. A value of 256
// means "ask the user", who gives one value for the whole trainer. The
// original value is what the file's author saw there; restoring uses the
// byte memory really held when the trainer was applied.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr uint16_t pok_ask = 256;  // the value that asks the user

struct poke_line {
    uint8_t bank;
    uint16_t address;
    uint16_t value;  // 0..255, or pok_ask
    uint8_t original;
};

struct trainer {
    std::string name;
    std::vector<poke_line> pokes;
    bool applied = false;
    std::vector<uint8_t> saved;  // memory under each poke before it was applied
};

struct pok_result {
    bool ok;
    std::string text;  // when !ok: the file and "line N: why"
};

// Reads a whole .pok file in memory. name stands for it in messages. out is
// written only when the result is ok.
pok_result read_pok(const uint8_t *data, std::size_t size, const std::string &name, std::vector<trainer> &out);

// The trainers of the .pok file now open, and its path as opened ("" for none).
extern std::vector<trainer> trainers;
extern std::string pok_path;
// True when path names the .pok file now open, however it is spelled.
bool pok_is_open(const std::string &path);

// Reads path whole and, when it is a good .pok, makes its trainers the ones
// open (none applied). A refused file leaves everything as it was.
pok_result open_pok(const std::string &path);
// Forgets the trainers' applied state after a new program replaced memory:
// their saved bytes belong to the old one.
void forget_applied_trainers();

// True when every poke of the trainer is for a 48K (bank 8 or more) and
// lands in RAM (0x4000 or above).
bool trainer_fits_48k(const trainer &t);
// True when some poke of the trainer asks the user for its value.
bool trainer_asks(const trainer &t);
// Writes the trainer's values (asked in place of pok_ask), keeping the bytes
// they replace. False, changing nothing, for a trainer that does not fit
// the 48K or is applied already.
bool apply_trainer(trainer &t, uint8_t asked = 0);
// Puts back the bytes the trainer replaced, last poke first.
void remove_trainer(trainer &t);

// The .pok beside a program file: the same path with the extension .pok
// (or .POK, .Pok) in place of its own, when such a file exists; else "".
std::string pok_beside(const std::string &program_path);

// One poke: writes value at address (0x4000..0xFFFF).
void poke_memory(uint16_t address, uint8_t value);
// Reads "ADDRESS,VALUE" (decimal, or hexadecimal with 0x): address
// 16384..65535, value 0..255. False when it is not that.
bool parse_poke(const std::string &text, uint16_t &address, uint8_t &value);
