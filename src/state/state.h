// The machine's whole state as one record, the rewind history built of such
// records, and the quick-save slots' files.
//
// A record holds everything the running machine goes on from: the processor
// and its interrupt state, all of ram, the byte last written to the ULA, and
// the tape side (deck, recorder, typing of LOAD "" and the T-state clock).
// The picture is not part of it: it is decoded again from screen memory, so
// restoring marks every square for redrawing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tape/tape.h"
#include "z80/z80.h"

// The processor, its interrupt state and the ULA byte.
struct cpu_record {
    pair af, bc, de, hl, ix, iy, ir;
    pair saf, sbc, sde, shl;
    uint16_t sp, pc;
    int32_t iff1, iff2, im, intreq, cycles, tempc;
    uint8_t uladat;
};

struct machine_state {
    cpu_record cpu;
    tape_side tape;
    std::vector<uint8_t> ram;  // all of ram, ram_size bytes
};

void capture_state(machine_state &out);
// Puts the machine back exactly as captured and marks the whole picture for
// redrawing.
void restore_state(const machine_state &in);

// ---- The rewind history ----
//
// A ring of the last states kept. The newest one's ram is held whole; every
// older one holds only how its ram differs from the next newer one's (the two
// XORed, runs of equal words left out), so a state that changed little costs
// little, and going back one state undoes one difference. The oldest state
// is dropped when the ring holds more states than its length, or more bytes
// than history_byte_limit.
constexpr std::size_t history_byte_limit = std::size_t(8) << 20;

// The number of states kept; 0 keeps none. Empties the ring.
void set_history_length(int states);
int history_length();
// States in the ring, and the bytes they take (the shared tape images aside).
int history_count();
std::size_t history_bytes();
// Keeps the machine as it is now as the newest state, stamped with the
// emulated frame; dropped at once when the length is 0.
void keep_state(int64_t frame);
// Puts the machine back to the state one older than the one it was last put
// to (the newest at first). False, with nothing changed, at the oldest.
bool history_back();
// The frame stamp of the state the machine was last put back to, or -1
// before any.
int64_t history_frame();
// Ends a rewind: the states newer than the one the machine was put back to
// are dropped, and the history goes on from it.
void history_resume();
void clear_history();

// ---- Quick-save slots ----
//
// A slot is a .z80 file, slotN.z80, in the folder of the program last loaded:
// $XDG_DATA_HOME/brenvik/slots/NAME/ (~/.local/share/... without it), NAME
// being the loaded file's name, or "basic" when none was loaded. The tape's
// position, which a .z80 cannot hold, goes beside it in slotN.tape.

constexpr int slot_count = 9;

// Notes the file just loaded, whose name picks the slots' folder.
void note_loaded_file(const std::string &path);
// The slots' folder of the program now loaded (not created here).
std::string slot_folder();
std::string slot_path(int slot);

// Writes the machine into slot 1..9, the folder made where it is missing.
// False, with the reason (a sentence naming what failed), when it could not
// be written; the slot's old file is then untouched.
bool save_slot(int slot, std::string &reason);

enum class slot_outcome { loaded, empty, refused };
// Loads slot 1..9. empty when it has no file (nothing changes); refused when
// its file is not a snapshot the loader takes (nothing changes, the result
// says why).
slot_outcome load_slot(int slot, snapshot_result &why);

// The tape position file: the tape's file name and where the head stands.
struct tape_position {
    std::string name;
    std::size_t pos = 0;
    uint32_t left = 0;
    uint64_t played = 0;
};
std::string format_tape_position(const tape_position &p);
// Reads a whole position file; false when it is not one.
bool parse_tape_position(const uint8_t *data, std::size_t size, tape_position &out);
