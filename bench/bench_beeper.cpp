// What the hifi sound costs the host per emulated frame with a busy beeper:
// a program that flips EAR on every OUT, with a delay loop of DJNZ between
// them: an edge every 667 T-states (a 2620 Hz square, as BEEP 1,40), every
// 225 (a scanline's worth: 312 edges a frame) and, with no delay loop, every
// 28 (2496 edges a frame, far more than any beeper engine plays). The frame
// alone (classic: the port only keeps the byte), the frame with the edges
// recorded and rendered into 960 samples (48 kHz), and the rendering alone.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "beeper/beeper.h"
#include "bench_machine.h"
#include "ula/ula.h"
#include "z80/z80.h"

namespace {

// DI; LD A,0; loop: XOR 0x10 (7); OUT (0xFE),A (11); [LD B,n (7); DJNZ $
// (13 n - 5);] JP loop (10).
void busy_beeper_machine(benchmark::State &state, int delay, bool hifi) {
    hifi_sound = false;
    if (!default_rom_machine(state)) return;
    resetz80();
    const uint8_t with_delay[] = {0xF3, 0x3E, 0x00, 0xEE, 0x10, 0xD3, 0xFE, 0x06, uint8_t(delay), 0x10, 0xFE, 0xC3, 0x03, 0x80};
    const uint8_t without[] = {0xF3, 0x3E, 0x00, 0xEE, 0x10, 0xD3, 0xFE, 0xC3, 0x03, 0x80};
    if (delay)
        std::memcpy(&ram[0x8000], with_delay, sizeof with_delay);
    else
        std::memcpy(&ram[0x8000], without, sizeof without);
    pc = 0x8000;
    hifi_sound = hifi;
    beeper_setup(960);
    execz80();  // the first frame starts the loop
}

void BM_BusyBeeperFrame(benchmark::State &state) {
    const bool hifi = state.range(1) != 0;
    busy_beeper_machine(state, int(state.range(0)), hifi);
    std::vector<int16_t> out(960);
    for (auto _ : state) {
        execz80();
        if (hifi) beeper_render(out.data());
    }
    state.SetLabel(hifi ? "hifi: edges recorded and rendered" : "classic: the frame alone");
    hifi_sound = false;
}
BENCHMARK(BM_BusyBeeperFrame)->ArgsProduct({{49, 15, 0}, {0, 1}})->Unit(benchmark::kMicrosecond);

// The rendering alone: the same frame's edges, put back before each render.
void BM_BeeperRenderBusyFrame(benchmark::State &state) {
    busy_beeper_machine(state, int(state.range(0)), true);
    execz80();
    const int count = beeper_edge_count;
    std::vector<beeper_edge> edges(beeper_edges, beeper_edges + count);
    std::vector<int16_t> out(960);
    for (auto _ : state) {
        std::memcpy(beeper_edges, edges.data(), edges.size() * sizeof(beeper_edge));
        beeper_edge_count = count;
        beeper_render(out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["edges"] = count;
    hifi_sound = false;
}
BENCHMARK(BM_BeeperRenderBusyFrame)->Arg(49)->Arg(15)->Arg(0)->Unit(benchmark::kMicrosecond);

}  // namespace
