// The CB page: rotates, shifts, BIT, RES and SET on the eight operands.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "z80_harness.h"

namespace {

// Runs CB op2 once from 0x8000.
int run_cb(uint8_t op2) {
    z80_program({0xCB, op2});
    return z80_step_cost();
}

// ---- Charges, typed from the instruction description ----
// Index: class (bits 6-7); {register operand, (HL) operand}.
const int cb_charge[4][2] = {
    {8, 15},  // rotates and shifts
    {8, 12},  // BIT
    {8, 15},  // RES
    {8, 15},  // SET
};

TEST(CbPage, EveryByteChargesItsClassCost) {
    for (int op2 = 0; op2 < 256; ++op2) {
        z80_fresh();
        hl.w = 0x9000;
        int expect = cb_charge[op2 >> 6][(op2 & 7) == 6];
        EXPECT_EQ(run_cb(uint8_t(op2)), expect) << "CB " << hex(op2);
        EXPECT_EQ(pc, 0x8002) << "CB " << hex(op2);
    }
}

// ---- A slow bit-by-bit model of the page, written from the description ----
uint8_t szp(uint8_t r) {
    int ones = 0;
    for (int i = 0; i < 8; ++i) ones += (r >> i) & 1;
    return uint8_t((r & 0x80) | (r == 0 ? 0x40 : 0) | (r & 0x20) | (r & 0x08) | (ones % 2 == 0 ? 0x04 : 0));
}

struct cb_result {
    uint8_t value;  // the operand afterwards
    uint8_t f;
};

cb_result cb_model(int op2, uint8_t v, uint8_t fin) {
    int y = (op2 >> 3) & 7;
    int cin = fin & 1;
    int bit7 = v >> 7 & 1, bit0 = v & 1;
    switch (op2 >> 6) {
    case 0: {
        int out = 0, r = 0;
        switch (y) {
        case 0: out = bit7; r = (v << 1) | bit7; break;                // RLC
        case 1: out = bit0; r = (v >> 1) | (bit0 << 7); break;         // RRC
        case 2: out = bit7; r = (v << 1) | cin; break;                 // RL
        case 3: out = bit0; r = (v >> 1) | (cin << 7); break;          // RR
        case 4: out = bit7; r = v << 1; break;                         // SLA
        case 5: out = bit0; r = (v >> 1) | (v & 0x80); break;          // SRA
        case 6: out = bit7; r = (v << 1) | 1; break;                   // SLL
        case 7: out = bit0; r = v >> 1; break;                         // SRL
        }
        uint8_t res = uint8_t(r);
        // S, Z, 5, 3, P from the result, C the bit moved out, H and N kept.
        return {res, uint8_t((fin & 0x12) | szp(res) | out)};
    }
    case 1:
        // Flags from the masked value; H, N and C kept.
        return {v, uint8_t((fin & 0x13) | szp(uint8_t(v & (1 << y))))};
    case 2: return {uint8_t(v & ~(1 << y)), fin};
    default: return {uint8_t(v | (1 << y)), fin};
    }
}

// Every byte of the page against the model, on every operand, for a spread
// of values and incoming flags. The other registers must not change.
TEST(CbPage, EveryByteMatchesTheModelOnItsOperandOnly) {
    const uint8_t values[] = {0x00, 0x01, 0x08, 0x20, 0x7F, 0x80, 0x81, 0xA5, 0x5A, 0xFF};
    const uint8_t flags_in[] = {0x00, 0x01, 0x12, 0x13, 0xEC, 0xFF};
    const uint16_t mem = 0x9000;
    for (int op2 = 0; op2 < 256; ++op2) {
        int z = op2 & 7;
        for (uint8_t v : values) {
            for (uint8_t fin : flags_in) {
                z80_fresh();
                // Distinct bytes in every register; the operand gets v.
                uint8_t regs[8] = {0x11, 0x22, 0x33, 0x44, uint8_t(mem >> 8), uint8_t(mem), 0, 0x77};
                if (z != 6) regs[z] = v;
                b = regs[0]; c = regs[1]; d = regs[2]; e = regs[3];
                h = regs[4]; l = regs[5]; a = regs[7];
                f = fin;
                z80_poke(mem, {v});
                if (z != 6) z80_poke(mem, {0xEE});
                run_cb(uint8_t(op2));

                cb_result want = cb_model(op2, v, fin);
                if (z != 6) regs[z] = want.value;
                std::string where = "CB " + hex(op2) + " v=" + hex(v) + " F=" + hex(fin);
                EXPECT_EQ(b, regs[0]) << where;
                EXPECT_EQ(c, regs[1]) << where;
                EXPECT_EQ(d, regs[2]) << where;
                EXPECT_EQ(e, regs[3]) << where;
                EXPECT_EQ(h, regs[4]) << where;
                EXPECT_EQ(l, regs[5]) << where;
                EXPECT_EQ(a, regs[7]) << where;
                EXPECT_EQ(f, want.f) << where;
                EXPECT_EQ(ram[mem], z == 6 ? want.value : 0xEE) << where;
                if (::testing::Test::HasFailure()) return;
            }
        }
    }
}

// ---- The listed edge cases, with the whole of F ----
struct cb_case {
    const char *what;
    uint8_t op2, a_in, f_in, a_out, f_out;
};
const cb_case cb_cases[] = {
    {"RLC A: bit 7 to C, H and N kept", 0x07, 0x80, 0x12, 0x01, 0x13},
    {"RRC A", 0x0F, 0x01, 0x00, 0x80, 0x81},
    {"RL A takes the old carry into bit 0", 0x17, 0x80, 0x01, 0x01, 0x01},
    {"RL A: old carry, not the new one", 0x17, 0x00, 0x01, 0x01, 0x00},
    {"RL A: new carry does not come back in", 0x17, 0x80, 0x00, 0x00, 0x45},
    {"RR A to zero", 0x1F, 0x01, 0x00, 0x00, 0x45},
    {"RR A: old carry into bit 7", 0x1F, 0x00, 0x01, 0x80, 0x80},
    {"SLA A", 0x27, 0x81, 0x00, 0x02, 0x01},
    {"SRA A keeps bit 7", 0x2F, 0x81, 0x00, 0xC0, 0x85},
    {"SLL A sets bit 0", 0x37, 0x80, 0x00, 0x01, 0x01},
    {"SLL A from zero", 0x37, 0x00, 0x00, 0x01, 0x00},
    {"SRL A", 0x3F, 0x81, 0x00, 0x40, 0x01},
    {"BIT 7,A set: S, not Z or P", 0x7F, 0x80, 0x13, 0x80, 0x93},
    {"BIT 7,A clear: Z and P", 0x7F, 0x7F, 0x13, 0x7F, 0x57},
    {"BIT 3,A set: bit 3 of F", 0x5F, 0x08, 0x00, 0x08, 0x08},
    {"BIT 3,A clear: Z, no bit 3", 0x5F, 0xF7, 0x00, 0xF7, 0x44},
    {"BIT 5,A set: bit 5 of F", 0x6F, 0x20, 0x00, 0x20, 0x20},
    {"BIT 0,A: S, 5, 3 from the masked value", 0x47, 0xFF, 0x00, 0xFF, 0x00},
    {"RES 7,A leaves F", 0xBF, 0xFF, 0xD7, 0x7F, 0xD7},
    {"SET 0,A leaves F", 0xC7, 0x00, 0x00, 0x01, 0x00},
};

TEST(CbPage, ListedCases) {
    for (const cb_case &t : cb_cases) {
        z80_fresh();
        a = t.a_in;
        f = t.f_in;
        EXPECT_EQ(run_cb(t.op2), 8) << t.what;
        EXPECT_EQ(a, t.a_out) << t.what;
        EXPECT_EQ(f, t.f_out) << t.what;
    }
}

// ---- (HL) forms: one read, one write through the write rule ----
struct hl_case {
    const char *what;
    uint8_t op2;
    uint16_t addr;
    uint8_t before;  // byte at addr (the ROM byte below 0x4000)
    uint8_t stored;  // ram[addr] afterwards (the unread catch below 0x4000)
    bool marks;      // whether addr's square is marked
    int t;
};
const hl_case hl_cases[] = {
    {"SET 0,(HL) on the last attribute", 0xC6, 0x5AFF, 0x00, 0x01, true, 15},
    {"SET 0,(HL) just past the screen", 0xC6, 0x5B00, 0x00, 0x01, false, 15},
    {"SET 0,(HL) on the ROM", 0xC6, 0x0000, 0x80, 0x81, false, 15},
    {"RES 7,(HL) on the first screen byte", 0xBE, 0x4000, 0xFF, 0x7F, true, 15},
    {"RLC (HL) in the middle third", 0x06, 0x4820, 0x81, 0x03, true, 15},
    {"SRL (HL) on the last bitmap byte", 0x3E, 0x57FF, 0x02, 0x01, true, 15},
    {"SLL (HL) on the first attribute", 0x36, 0x5800, 0x00, 0x01, true, 15},
    {"BIT 0,(HL) writes nothing", 0x46, 0x4000, 0x01, 0x01, false, 12},
    {"BIT 0,(HL) on the ROM writes nothing", 0x46, 0x0000, 0x01, 0x00, false, 12},
};

TEST(CbPage, HlFormsStoreThroughTheWriteRule) {
    for (const hl_case &t : hl_cases) {
        z80_fresh();
        hl.w = t.addr;
        z80_poke(t.addr, {t.before});
        EXPECT_EQ(run_cb(t.op2), t.t) << t.what;
        EXPECT_EQ(ram[t.addr], t.stored) << t.what;
        if (t.addr < 0x4000) {
            EXPECT_EQ(lorom[t.addr], t.before) << t.what << ": the ROM changed";
        }
        EXPECT_EQ(dirty_count(), t.marks ? 1 : 0) << t.what;
        if (t.marks) {
            EXPECT_EQ(dsquare[square_of(t.addr)], 1) << t.what;
        }
        EXPECT_EQ(hl.w, t.addr) << t.what;
    }
}

// ---- R counts 2 per CB instruction, through bit 7 ----
TEST(CbPage, RAdvancesByTwoThroughBit7) {
    const uint8_t r_in[] = {0x00, 0x7E, 0x7F, 0xFE, 0xFF};
    const uint8_t r_out[] = {0x02, 0x80, 0x81, 0x00, 0x01};
    const uint8_t ops[] = {0x00, 0x46, 0x86, 0xFF};
    for (uint8_t op2 : ops) {
        for (size_t i = 0; i < sizeof r_in; ++i) {
            z80_fresh();
            hl.w = 0x9000;
            r_reg = r_in[i];
            i_reg = 0x3C;
            run_cb(op2);
            EXPECT_EQ(r_reg, r_out[i]) << "CB " << hex(op2) << " R=" << hex(r_in[i]);
            EXPECT_EQ(i_reg, 0x3C);
        }
    }
}

// The end of a CB instruction accepts a pending interrupt like any other.
TEST(CbPage, InterruptAcceptedAfterwards) {
    z80_fresh();
    sp = 0xC000;
    iff1 = 1;
    im = 1;
    intreq = 1;
    a = 0x01;
    EXPECT_EQ(run_cb(0x07), 8 + 13);
    EXPECT_EQ(a, 0x02);
    EXPECT_EQ(pc, 0x0038);
    EXPECT_EQ(ram[0xBFFE] | ram[0xBFFF] << 8, 0x8002);
}

}  // namespace
