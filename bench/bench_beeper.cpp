// What the hifi sound costs the host per emulated frame with a busy beeper.
// The programs flip EAR on every OUT, with a delay loop of DJNZ between
// them: an edge every 667 T-states (a 2620 Hz square, as BEEP 1,40), every
// 225 (a scanline's worth: 310 edges a frame, a 7.8 kHz square) and, with
// no delay loop, every 28 (2496 edges a frame, far more than any beeper
// engine plays). A two-channel engine of the usual kind (two counters, each
// flipping EAR when it runs out, an OUT every 53 T-states) plays two high
// notes, near 2.7 and 1.9 kHz: about 170 edges a frame.
//
// BM_BeeperShareOfFrame runs the same program a frame at a time, in turns
// without and with the hifi sound (edges recorded in the frame, then
// rendered into 960 samples: 48 kHz), and reports the extra time as a share
// of the plain frame's; taking the two in turns puts both under the same
// load. BM_BeeperRenderBusyFrame times the rendering alone.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "beeper/beeper.h"
#include "bench_machine.h"
#include "ula/ula.h"
#include "z80/z80.h"

namespace {

// Programs by their second argument: a delay loop of DJNZ, or the two-channel
// engine when it is 255.
constexpr int two_channels = 255;

// DI; LD A,0; loop: XOR 0x10 (7); OUT (0xFE),A (11); [LD B,n (7); DJNZ $
// (13 n - 5);] JP loop (10).
// Two channels: DI; LD A,0; LD B,12; LD C,17; loop: DEC B (4); JR NZ,+4
// (12); LD B,12 (7); XOR 0x10 (7); DEC C (4); JR NZ,+4 (12); LD C,17 (7);
// XOR 0x10 (7); OUT (0xFE),A (11); JP loop (10).
void busy_beeper_machine(benchmark::State &state, int delay) {
    hifi_sound = false;
    if (!default_rom_machine(state)) return;
    resetz80();
    const uint8_t with_delay[] = {0xF3, 0x3E, 0x00, 0xEE, 0x10, 0xD3, 0xFE, 0x06, uint8_t(delay), 0x10, 0xFE, 0xC3, 0x03, 0x80};
    const uint8_t without[] = {0xF3, 0x3E, 0x00, 0xEE, 0x10, 0xD3, 0xFE, 0xC3, 0x03, 0x80};
    const uint8_t engine[] = {0xF3, 0x3E, 0x00, 0x06, 12,   0x0E, 17,   0x05, 0x20, 0x04, 0x06, 12,   0xEE,
                              0x10, 0x0D, 0x20, 0x04, 0x0E, 17,   0xEE, 0x10, 0xD3, 0xFE, 0xC3, 0x07, 0x80};
    if (delay == two_channels)
        std::memcpy(&ram[0x8000], engine, sizeof engine);
    else if (delay)
        std::memcpy(&ram[0x8000], with_delay, sizeof with_delay);
    else
        std::memcpy(&ram[0x8000], without, sizeof without);
    pc = 0x8000;
    beeper_setup(960);
    execz80();  // the first frame starts the loop
}

void BM_BeeperShareOfFrame(benchmark::State &state) {
    busy_beeper_machine(state, int(state.range(0)));
    std::vector<int16_t> out(960);
    using clock = std::chrono::steady_clock;
    clock::duration plain{}, hifi{};
    int edges = 0;
    for (auto _ : state) {
        hifi_sound = false;
        const clock::time_point start = clock::now();
        execz80();
        const clock::time_point middle = clock::now();
        hifi_sound = true;
        execz80();
        edges = beeper_edge_count;
        beeper_render(out.data());
        benchmark::DoNotOptimize(out.data());
        const clock::time_point end = clock::now();
        plain += middle - start;
        hifi += end - middle;
    }
    hifi_sound = false;
    const double plain_us = std::chrono::duration<double, std::micro>(plain).count() / double(state.iterations());
    const double hifi_us = std::chrono::duration<double, std::micro>(hifi).count() / double(state.iterations());
    state.counters["edges"] = edges;
    state.counters["frame_us"] = plain_us;
    state.counters["sound_us"] = hifi_us - plain_us;
    state.counters["share_%"] = 100 * (hifi_us - plain_us) / plain_us;
}
BENCHMARK(BM_BeeperShareOfFrame)->Arg(49)->Arg(two_channels)->Arg(15)->Arg(0)->Unit(benchmark::kMicrosecond);

// The rendering alone: the same frame's edges, put back before each render.
void BM_BeeperRenderBusyFrame(benchmark::State &state) {
    busy_beeper_machine(state, int(state.range(0)));
    hifi_sound = true;
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
BENCHMARK(BM_BeeperRenderBusyFrame)->Arg(49)->Arg(two_channels)->Arg(15)->Arg(0)->Unit(benchmark::kMicrosecond);

}  // namespace
