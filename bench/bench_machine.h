// The machine the benchmarks run: processor tables, dirty squares and the default ROM.
#pragma once

#include <benchmark/benchmark.h>

#include <string>

#include "screen/screen.h"
#include "z80/z80.h"

// Sets the machine up with the default ROM; false (the benchmark marked as
// failed with the reason) when the ROM cannot be read.
inline bool default_rom_machine(benchmark::State &state) {
    initz80();
    build_dsquare_table();
    std::string error;
    if (loadrom_file(BRENVIK_DEFAULT_ROM, error)) return true;
    state.SkipWithError(error.c_str());
    return false;
}
