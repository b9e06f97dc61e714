// Speed of the processor core: execz80 on a CPU-bound loop in RAM.
#include <benchmark/benchmark.h>

#include <cstring>
#include <initializer_list>

#include "screen/screen.h"
#include "z80/z80.h"
#include "z80/z80_regs.h"

namespace {

constexpr uint16_t prog_at = 0x8000;
constexpr uint16_t loop_at = 0x8007;

// A loop of loads, arithmetic and logic, stack traffic, relative and
// absolute jumps, a call and a return, with interrupts disabled and no HALT.
// HL stays in one page at 0x9000 (INC L), so nothing is written to the screen.
const uint8_t mix[] = {
    0xF3,              // 8000 DI
    0x31, 0x00, 0xFF,  // 8001 LD SP,0xFF00
    0x21, 0x00, 0x90,  // 8004 LD HL,0x9000
    // loop:
    0x7E,              // 8007 LD A,(HL)
    0x80,              //      ADD A,B
    0x4F,              //      LD C,A
    0x2C,              //      INC L
    0xAB,              //      XOR E
    0xC5,              //      PUSH BC
    0x77,              //      LD (HL),A
    0xD1,              //      POP DE
    0x8A,              //      ADC A,D
    0x0D,              //      DEC C
    0xD6, 0x03,        //      SUB 3
    0xE6, 0x7F,        //      AND 0x7F
    0x5F,              //      LD E,A
    0xFE, 0x10,        //      CP 0x10
    0x30, 0x01,        //      JR NC,+1
    0x14,              //      INC D
    0xCD, 0x27, 0x80,  //      CALL sub
    0x10, 0x01,        //      DJNZ +1
    0x04,              //      INC B
    0x19,              //      ADD HL,DE
    0x26, 0x90,        //      LD H,0x90
    0xC3, 0x07, 0x80,  //      JP loop
    // sub (0x8027):
    0xB0,              //      OR B
    0x03,              //      INC BC
    0xC9,              //      RET
};
static_assert(sizeof mix == 0x27 + 3, "sub must sit at 0x8027");

void setup_machine() {
    static bool built = false;
    if (!built) {
        initz80();
        build_dsquare_table();
        built = true;
    }
    std::memset(ram, 0, ram_size);
    std::memcpy(ram + prog_at, mix, sizeof mix);
    af.w = bc.w = de.w = hl.w = ix.w = iy.w = ir.w = 0;
    sp = 0xFF00;
    pc = prog_at;
    iff1 = iff2 = im = intreq = 0;
    cycles = 0;
}

// Average T-states per instruction of the mix, measured one step at a time.
double tstates_per_instruction() {
    setup_machine();
    for (int i = 0; i < 3; ++i) stepz80();  // the set-up instructions
    const long steps = 2000000;
    long spent = 0;
    for (long i = 0; i < steps; ++i) {
        int before = cycles;
        stepz80();
        spent += before - cycles;
    }
    return double(spent) / double(steps);
}

void BM_execz80_mix(benchmark::State &state) {
    const double t_per_insn = tstates_per_instruction();
    setup_machine();
    int64_t frames = 0;
    for (auto _ : state) {
        execz80();
        ++frames;
    }
    if (pc < loop_at || pc >= prog_at + sizeof mix) state.SkipWithError("the mix left its loop");
    const double tstates = double(frames) * tstates_per_frame;
    state.counters["Tstates/s"] = benchmark::Counter(tstates, benchmark::Counter::kIsRate);
    state.counters["insns/s"] = benchmark::Counter(tstates / t_per_insn, benchmark::Counter::kIsRate);
    state.counters["x_realtime"] = benchmark::Counter(tstates / 3.5e6, benchmark::Counter::kIsRate);
    state.counters["T/insn"] = t_per_insn;
}
BENCHMARK(BM_execz80_mix)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

}  // namespace
