// The processor's whole observable behaviour, locked by hashes: thousands of
// frames are run and the complete machine state is hashed after every frame
// (every register, the interrupt flip-flops and mode, the request, the cycle
// budget, all 64 KB of ram, the dirty squares, the ULA byte and the beeper
// samples of the frame). The hashes are chained, and each run's final value
// was recorded from the processor as it stood before any speed work. Any
// change in a flag, a charge, a memory byte, a dirty square or a port access
// anywhere in these runs changes the figure.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "rom_machine.h"
#include "ula/ula.h"
#include "z80_harness.h"

namespace {

constexpr uint64_t fnv_prime = 0x100000001B3ULL;

void mix_bytes(uint64_t &h, const void *data, std::size_t size) {
    const auto *p = static_cast<const uint8_t *>(data);
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t w;
        std::memcpy(&w, p + i, 8);
        h = (h ^ w) * fnv_prime;
        h ^= h >> 29;
    }
    for (; i < size; ++i) h = (h ^ p[i]) * fnv_prime;
}

void mix_value(uint64_t &h, int64_t v) { mix_bytes(h, &v, sizeof v); }

// One frame's state, folded into the running hash.
void mix_state(uint64_t &h) {
    for (const pair *p : {&af, &bc, &de, &hl, &ix, &iy, &ir, &saf, &sbc, &sde, &shl}) mix_value(h, p->w);
    for (int64_t v : {int64_t(sp), int64_t(pc), int64_t(iff1), int64_t(iff2), int64_t(im), int64_t(intreq),
                      int64_t(cycles), int64_t(uladat)})
        mix_value(h, v);
    mix_bytes(h, ram, ram_size);
    mix_bytes(h, dsquare, squares);
    mix_bytes(h, speakerstat, sizeof speakerstat);
}

// The running hash of the current run, and the per-frame step that folds
// the state into it.
uint64_t chain;
void hash_frame() { mix_state(chain); }
void run_hashed(int frames) { run_frames(frames, hash_frame); }

// The ROM: start-up, sums typed at the editor, and a BASIC program with a FOR
// loop, arithmetic and PRINT, run to its end.
uint64_t rom_session(int &frames) {
    std::string error;
    chain = 0xCBF29CE484222325ULL;
    if (!boot_rom(0, error)) {
        ADD_FAILURE() << error;
        return 0;
    }
    run_hashed(300);
    const char *lines[] = {
        "print 2+2\n",
        "print 1.5*1.5,7*0.1\n",
        "print 2/3-10;100*100.5\n",
        "10 for i=1 to 12\n",
        "20 print i*i/7,i-0.25\n",
        "30 next i\n",
        "run\n",
    };
    int typed = 0;
    for (const char *line : lines) {
        type_keys(line, hash_frame);
        typed += int(std::strlen(line));
        run_hashed(60);
    }
    run_hashed(600);
    frames = 300 + typed * 12 + 60 * 7 + 600;
    return chain;
}

// Machine code in RAM under interrupt mode 2: LDIR, LDDR, CPIR over the
// screen, LDI/LDD/CPI/CPD, OTIR and INIR on the ULA port, RLD/RRD, index
// arithmetic, HALT, and an interrupt routine with EXX, DAA, ADC/SBC HL and
// the index bit page.
const uint8_t block_main[] = {
    0x31, 0x00, 0xFF, 0x3E, 0xA0, 0xED, 0x47, 0xED, 0x5E, 0x21, 0x00, 0xB0, 0x22, 0xFF, 0xA0, 0xDD,
    0x21, 0x00, 0x98, 0xFD, 0x21, 0x00, 0x58, 0xFB, 0x21, 0x00, 0x3C, 0x11, 0x00, 0x40, 0x01, 0x00,
    0x08, 0xED, 0xB0, 0x21, 0xFF, 0x47, 0x11, 0xFF, 0x57, 0x01, 0x00, 0x07, 0xED, 0xB8, 0x21, 0x00,
    0x40, 0x01, 0x00, 0x18, 0xDD, 0x7E, 0x00, 0xED, 0xB1, 0xFD, 0x7E, 0x03, 0xD3, 0xFE, 0x21, 0x00,
    0x58, 0x11, 0x01, 0x58, 0x01, 0xFF, 0x02, 0xFD, 0x7E, 0x03, 0x3C, 0x77, 0xED, 0xB0, 0x21, 0x00,
    0x41, 0x11, 0x00, 0x99, 0x01, 0x00, 0x01, 0xED, 0xA0, 0xED, 0xA0, 0xED, 0xA8, 0xED, 0xA1, 0xED,
    0xA9, 0x06, 0x10, 0x0E, 0xFE, 0x21, 0x00, 0x99, 0xED, 0xB3, 0x06, 0x08, 0x21, 0x00, 0x9A, 0xED,
    0xB2, 0xED, 0x6F, 0xED, 0x67, 0xDD, 0x34, 0x00, 0x76, 0x18, 0x9D,
};
const uint8_t block_irq[] = {
    0xF5, 0xE5, 0xD9, 0x08, 0xED, 0x5F, 0xFD, 0x77, 0x03, 0xDD, 0x86, 0x01, 0x27, 0xDD, 0x77, 0x01,
    0x2A, 0x02, 0x98, 0x23, 0x22, 0x02, 0x98, 0xED, 0x52, 0xED, 0x4A, 0xFD, 0xCB, 0x02, 0x3E, 0xDD,
    0xCB, 0x02, 0x16, 0xFD, 0xCB, 0x04, 0xDE, 0xDD, 0xCB, 0x01, 0x56, 0x08, 0xD9, 0xE1, 0xF1, 0xFB,
    0xED, 0x4D,
};

uint64_t block_session(int &frames) {
    std::string error;
    chain = 0xCBF29CE484222325ULL;
    if (!boot_rom(0, error)) {
        ADD_FAILURE() << error;
        return 0;
    }
    std::memcpy(ram + 0x9000, block_main, sizeof block_main);
    std::memcpy(ram + 0xB000, block_irq, sizeof block_irq);
    pc = 0x9000;
    frames = 800;
    run_hashed(frames);
    return chain;
}

// Random bytes run as code: every page, every prefix, undefined opcodes,
// ports, EI/DI/IM and HALT turn up. Each round starts from fresh random
// memory and registers and runs a few frames.
uint64_t soup_session(int &frames) {
    std::string error;
    chain = 0xCBF29CE484222325ULL;
    if (!boot_rom(0, error)) {
        ADD_FAILURE() << error;
        return 0;
    }
    uint64_t seed = 0x9E3779B97F4A7C15ULL;
    const auto next = [&seed]() {
        seed += 0x9E3779B97F4A7C15ULL;
        uint64_t z = seed;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    };
    constexpr int rounds = 120, frames_per_round = 16;
    for (int round = 0; round < rounds; ++round) {
        for (int a = 0x4000; a < ram_size; a += 8) {
            const uint64_t w = next();
            std::memcpy(ram + a, &w, 8);
        }
        for (pair *p : {&af, &bc, &de, &hl, &ix, &iy, &ir, &saf, &sbc, &sde, &shl}) p->w = uint16_t(next());
        sp = uint16_t(next());
        pc = uint16_t(0x4000 | next());
        const uint64_t m = next();
        iff1 = int32_t(m & 1);
        iff2 = int32_t(m >> 1 & 1);
        im = int32_t(m >> 2 & 3) % 3;
        intreq = 0;
        cycles = 0;
        run_hashed(frames_per_round);
    }
    frames = rounds * frames_per_round;
    return chain;
}

struct locked_run {
    const char *name;
    uint64_t (*run)(int &frames);
    int frames;         // how many frames the run hashes
    uint64_t recorded;  // the chained hash from the reference processor
};

// Runs every locked session through run_frames as it stands and checks its
// chained hash against the recorded one.
void check_locked_runs() {
    const locked_run runs[] = {
        {"ROM typing, sums and a FOR loop", rom_session, 2592, 0xC1329ED61A4C9674ULL},
        {"block moves under IM 2", block_session, 800, 0x18DB2DDEBEB2B4EDULL},
        {"random code", soup_session, 1920, 0xFECA0FB1774BBEDBULL},
    };
    int total = 0;
    for (const locked_run &r : runs) {
        int frames = 0;
        const uint64_t h = r.run(frames);
        total += frames;
        EXPECT_EQ(frames, r.frames) << r.name;
        char got[32];
        std::snprintf(got, sizeof got, "0x%016llX", static_cast<unsigned long long>(h));
        EXPECT_EQ(h, r.recorded) << r.name << ": hash " << got << " over " << frames << " frames";
    }
    EXPECT_GE(total, 4000);
}

TEST(Z80Lock, WholeMachineStateMatchesTheRecordedRunFrameByFrame) { check_locked_runs(); }

// The single step picks its handlers through the portable switch, which
// execz80 does not use where the compiler threads its dispatch: the same
// sessions run one stepz80 at a time must give the same hashes.
TEST(Z80Lock, SingleStepsMatchTheRecordedRunFrameByFrame) {
    run_frame = frame_by_steps;
    check_locked_runs();
    run_frame = execz80;
}

}  // namespace
