// Fast loading: a 48 KB standard-speed block (about four and a half minutes
// of tape) read by the ROM's own LD-BYTES routine, frame after frame as the
// main loop runs them while a tape loads. One iteration is one whole load.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench_machine.h"
#include "tape/tape.h"
#include "z80/z80.h"

namespace {

void BM_TapeFastLoad48K(benchmark::State &state) {
    if (!default_rom_machine(state)) return;
    // One .tap block: flag 0xFF, 49152 bytes for 0x4000..0xFFFF, checksum.
    constexpr int size = 49152;
    std::vector<uint8_t> tap = {uint8_t((size + 2) & 0xFF), uint8_t((size + 2) >> 8), 0xFF};
    std::vector<uint8_t> data(size);
    for (int k = 0; k < size; ++k) data[k] = uint8_t(k * 7 + (k >> 8));
    // The routine returns through the stack's top, which the block itself
    // overwrites: with 0x8000, where it finds DI and JR $ to stay in.
    data[0xFFFC - 0x4000] = 0x00;
    data[0xFFFD - 0x4000] = 0x80;
    const uint8_t stay[] = {0xF3, 0x18, 0xFE};
    std::memcpy(&data[0x8000 - 0x4000], stay, sizeof stay);
    uint8_t check = 0xFF;
    for (uint8_t b : data) {
        tap.push_back(b);
        check ^= b;
    }
    tap.push_back(check);
    long frames = 0;
    for (auto _ : state) {
        resetz80();
        if (!insert_tape_bytes(tap.data(), tap.size(), "bench.tap", false).ok) {
            state.SkipWithError("the tape was refused");
            return;
        }
        // LD-BYTES: IX the address, DE the length, A the flag, carry set for LOAD.
        ix.w = 0x4000;
        de.w = size;
        af.w = 0xFF01;
        sp = 0xFFFE;
        pc = 0x0556;
        tape_play();
        while (deck.playing) {
            execz80();
            intreq = 1;
            tape_frame();
            ++frames;
        }
    }
    // The routine's calls leave their return addresses in the top eight bytes.
    if (std::memcmp(ram + 0x4000, tap.data() + 3, size - 8) != 0) state.SkipWithError("the block did not load intact");
    state.counters["frames"] = benchmark::Counter(double(frames) / double(state.iterations()));
    state.counters["tape_seconds"] = benchmark::Counter(double(frames) / 50.0 / double(state.iterations()));
}
BENCHMARK(BM_TapeFastLoad48K)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace
