// Frames per second of the default ROM sitting at its start-up screen: one
// execz80 and one frame interrupt per iteration, as the main loop runs them.
#include <benchmark/benchmark.h>

#include "bench_machine.h"
#include "z80/z80.h"

namespace {

void BM_RomStartUpScreen(benchmark::State &state) {
    if (!default_rom_machine(state)) return;
    resetz80();
    // Boot to the start-up screen first.
    for (int k = 0; k < 300; ++k) {
        execz80();
        intreq = 1;
    }
    for (auto _ : state) {
        execz80();
        intreq = 1;
    }
    // A real Spectrum runs 50 frames per second.
    state.counters["frames_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RomStartUpScreen)->Unit(benchmark::kMicrosecond);

}  // namespace
