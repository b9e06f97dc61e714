// Helpers for processor tests: a clean machine, bytes in memory, one step.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "screen/screen.h"
#include "z80/z80.h"
#include "z80/z80_regs.h"

// Builds the tables once, then sets every register, flip-flop and counter to
// 0, clears ram, lorom, the dirty squares and the ULA byte.
void z80_fresh();
// Stores bytes straight into ram (or lorom for addresses below 0x4000), marking nothing.
void z80_poke(uint16_t addr, std::initializer_list<uint8_t> bytes);
// Places the bytes at pc (default 0x8000) and sets pc there.
void z80_program(std::initializer_list<uint8_t> bytes, uint16_t at = 0x8000);
// Runs one instruction; returns the T-states it charged.
int z80_step_cost();
// Number of dirty squares set.
int dirty_count();
// Character square of a screen-memory address (row * 32 + column), worked
// out from the Spectrum's display layout rather than from dsquare_table.
int square_of(uint16_t addr);
// Two hex digits, for failure messages.
std::string hex(int v);
