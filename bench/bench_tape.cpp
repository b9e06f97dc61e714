// Fast loading: a 48 KB standard-speed block (about four and a half minutes
// of tape) read by the ROM's own LD-BYTES routine, frame after frame as the
// main loop runs them while a tape loads. One iteration is one whole load.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
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

namespace {

// One .tap block: its length, the flag, the bytes and their checksum.
void tap_block(std::vector<uint8_t> &tap, uint8_t flag, const std::vector<uint8_t> &bytes) {
    const std::size_t n = bytes.size() + 2;
    tap.push_back(uint8_t(n));
    tap.push_back(uint8_t(n >> 8));
    tap.push_back(flag);
    uint8_t check = flag;
    for (uint8_t b : bytes) {
        tap.push_back(b);
        check ^= b;
    }
    tap.push_back(check);
}

// A header block: type, name, length and the two parameters.
void tap_header(std::vector<uint8_t> &tap, uint8_t type, const char *name, int length, int first, int second) {
    std::vector<uint8_t> h = {type};
    for (int k = 0; k < 10; ++k) h.push_back(uint8_t(k < int(std::strlen(name)) ? name[k] : ' '));
    for (int v : {length, first, second}) {
        h.push_back(uint8_t(v));
        h.push_back(uint8_t(v >> 8));
    }
    tap_block(tap, 0x00, h);
}

// A number in a BASIC line: its digits, then the hidden small-integer form.
void basic_number(std::vector<uint8_t> &line, int v) {
    for (char c : std::to_string(v)) line.push_back(uint8_t(c));
    for (int b : {0x0E, 0, 0, v & 0xFF, v >> 8, 0}) line.push_back(uint8_t(b));
}

// A 48 KB standard-speed tape as games come: a BASIC loader that runs
// 10 CLEAR 24575: LOAD "" SCREEN$ : LOAD "" CODE : RANDOMIZE USR 24576,
// a picture, and 40 KB of code whose first instructions are DI and JR $.
std::vector<uint8_t> game_tape() {
    constexpr uint8_t CLEAR = 0xFD, LOAD = 0xEF, SCREEN = 0xAA, CODE = 0xAF, RANDOMIZE = 0xF9, USR = 0xC0;
    std::vector<uint8_t> text = {CLEAR};
    basic_number(text, 24575);
    for (uint8_t b : {uint8_t(':'), LOAD, uint8_t('"'), uint8_t('"'), SCREEN, uint8_t(':'), LOAD, uint8_t('"'),
                      uint8_t('"'), CODE, uint8_t(':'), RANDOMIZE, USR})
        text.push_back(b);
    basic_number(text, 24576);
    text.push_back(0x0D);
    std::vector<uint8_t> program = {0, 10, uint8_t(text.size()), uint8_t(text.size() >> 8)};
    program.insert(program.end(), text.begin(), text.end());
    std::vector<uint8_t> picture(6912), code(40960);
    for (std::size_t k = 0; k < picture.size(); ++k) picture[k] = uint8_t(k * 13 + (k >> 7));
    for (std::size_t k = 0; k < code.size(); ++k) code[k] = uint8_t(k * 7 + (k >> 8));
    code[0] = 0xF3;
    code[1] = 0x18;
    code[2] = 0xFE;
    std::vector<uint8_t> tap;
    tap_header(tap, 0, "bench", int(program.size()), 10, int(program.size()));
    tap_block(tap, 0xFF, program);
    tap_header(tap, 3, "picture", 6912, 16384, 32768);
    tap_block(tap, 0xFF, picture);
    tap_header(tap, 3, "code", 40960, 24576, 32768);
    tap_block(tap, 0xFF, code);
    return tap;
}

// The whole way a user loads a game: reset, LOAD "" typed, the three blocks
// loaded, until the loaded code runs its first instructions. The argument:
// 1 with the ROM's edge waits made in one step (as the program runs), 0
// with every turn of the loop run.
void BM_TapeTypedLoadGame(benchmark::State &state) {
    if (!default_rom_machine(state)) return;
    tape_skip_edge_waits = state.range(0) != 0;
    const std::vector<uint8_t> tap = game_tape();
    long frames = 0;
    for (auto _ : state) {
        if (!insert_tape_bytes(tap.data(), tap.size(), "game.tap", false).ok) {
            state.SkipWithError("the tape was refused");
            return;
        }
        start_autoload();
        long n = 0;
        while (!(pc >= 0x6000 && pc < 0x6003) && n < 50 * 600) {
            execz80();
            intreq = 1;
            tape_frame();
            ++n;
        }
        frames += n;
        if (n >= 50 * 600) {
            state.SkipWithError("the code did not start");
            return;
        }
    }
    tape_skip_edge_waits = true;
    state.counters["frames"] = benchmark::Counter(double(frames) / double(state.iterations()));
}
BENCHMARK(BM_TapeTypedLoadGame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace
