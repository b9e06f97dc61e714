// The processor on broader work than the fixed mix: the ROM interpreting a
// BASIC FOR loop with floating-point arithmetic and PRINT (every page of the
// processor, the screen written and marked), and a loop of block moves and
// searches (the repeating ED instructions, one step per execution).
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "rom_machine.h"
#include "screen/screen.h"
#include "z80/z80.h"

namespace {

void report_frames(benchmark::State &state) {
    state.counters["frames_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["x_realtime"] =
        benchmark::Counter(double(state.iterations()) / 50.0, benchmark::Counter::kIsRate);
}

void BM_RomBasicLoop(benchmark::State &state) {
    std::string error;
    if (!boot_rom(300, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (const char *line : {"10 for i=1 to 1e9\n", "20 print at 0,0;i*1.5/3+i,i/7\n", "30 next i\n", "run\n"}) {
        type_keys(line);
        run_frames(50);
    }
    for (auto _ : state) {
        execz80();
        intreq = 1;
    }
    // Still running: the loop's numbers on top, no report at the bottom.
    if (trimmed(screen_row(0)).empty() || !trimmed(screen_row(23)).empty())
        state.SkipWithError(("the BASIC loop is not running: " + screen_row(0) + "/" + screen_row(23)).c_str());
    report_frames(state);
}
BENCHMARK(BM_RomBasicLoop)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

// DI, then for ever: LDIR 4 KB up, LDDR 4 KB down, LDIR 6912 bytes onto the
// screen, CPIR over 4 KB for a byte that is not there, four LDI, INC (HL).
const uint8_t block_loop[] = {
    0xF3, 0x31, 0x00, 0xFF, 0x21, 0x00, 0x90, 0x11, 0x00, 0xA0, 0x01, 0x00, 0x10, 0xED, 0xB0, 0x21,
    0xFF, 0xAF, 0x11, 0xFF, 0xBF, 0x01, 0x00, 0x10, 0xED, 0xB8, 0x21, 0x00, 0xB0, 0x11, 0x00, 0x40,
    0x01, 0x00, 0x1B, 0xED, 0xB0, 0x21, 0x00, 0x90, 0x01, 0x00, 0x10, 0x3E, 0x5A, 0xED, 0xB1, 0x21,
    0x00, 0x91, 0x11, 0x00, 0x90, 0xED, 0xA0, 0xED, 0xA0, 0xED, 0xA0, 0xED, 0xA0, 0x34, 0xC3, 0x04,
    0x80,
};

void BM_BlockMoves(benchmark::State &state) {
    std::string error;
    if (!boot_rom(0, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (int a = 0x9000; a < 0xC000; ++a) ram[a] = uint8_t(a * 7 & 0x3F);
    std::memcpy(ram + 0x8000, block_loop, sizeof block_loop);
    pc = 0x8000;
    for (auto _ : state) {
        execz80();
        intreq = 1;
        std::memset(dsquare, 0, squares);  // as the renderer would after a frame
    }
    if (pc < 0x8000 || pc >= 0x8000 + sizeof block_loop) state.SkipWithError("the loop left its code");
    report_frames(state);
}
BENCHMARK(BM_BlockMoves)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

}  // namespace
