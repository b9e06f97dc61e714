// The unprefixed instructions: a sweep of every opcode's charge, length and
// target against the cost table typed here from the design, then each group's
// results and flags against the models of z80_flag_ref.h.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "ula/ula.h"
#include "z80/z80_flags.h"
#include "z80/z80_mem.h"
#include "z80_flag_ref.h"
#include "z80_harness.h"

namespace {

constexpr uint16_t at = 0x8000;

class Base : public ::testing::Test {
  protected:
    void SetUp() override { z80_fresh(); }
};

// ---------------------------------------------------------------------------
// Charge sweep
// ---------------------------------------------------------------------------

// Where pc goes: past the instruction, or to the branch target when taken.
enum class go { next, rel, abs, ret, rst, hl, stay };
// When the branch is taken: always, never (no branch), by the condition
// field, or by DJNZ's count.
enum class when { always, never, cc, jr_cc, djnz, halt };

struct cost_row {
    const char *what;
    std::vector<int> ops;
    int t;        // not taken, or the only cost
    int t_taken;  // taken (when = cc, jr_cc, djnz); the same as t where it does not differ
    int len;
    when w;
    go target;
};

std::vector<int> ops_range(int from, int to, std::initializer_list<int> except = {}) {
    std::vector<int> v;
    for (int o = from; o <= to; ++o) {
        bool skip = false;
        for (int x : except) skip |= x == o;
        if (!skip) v.push_back(o);
    }
    return v;
}

// The design's cost table, group by group.
const std::vector<cost_row> &cost_rows() {
    static const std::vector<cost_row> rows = {
        {"NOP", {0x00}, 4, 4, 1, when::never, go::next},
        {"LD r,r'", ops_range(0x40, 0x7F, {0x46, 0x4E, 0x56, 0x5E, 0x66, 0x6E, 0x70, 0x71, 0x72, 0x73, 0x74,
                                           0x75, 0x76, 0x77, 0x7E}), 4, 4, 1, when::never, go::next},
        {"LD r,(HL)", {0x46, 0x4E, 0x56, 0x5E, 0x66, 0x6E, 0x7E}, 7, 7, 1, when::never, go::next},
        {"LD (HL),r", {0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x77}, 7, 7, 1, when::never, go::next},
        {"LD r,n", {0x06, 0x0E, 0x16, 0x1E, 0x26, 0x2E, 0x3E}, 7, 7, 2, when::never, go::next},
        {"LD (HL),n", {0x36}, 10, 10, 2, when::never, go::next},
        {"LD rr,nn", {0x01, 0x11, 0x21, 0x31}, 10, 10, 3, when::never, go::next},
        {"LD (BC),A; LD (DE),A", {0x02, 0x12}, 7, 7, 1, when::never, go::next},
        {"LD A,(BC); LD A,(DE)", {0x0A, 0x1A}, 7, 7, 1, when::never, go::next},
        {"LD (nn),A", {0x32}, 13, 13, 3, when::never, go::next},
        {"LD A,(nn)", {0x3A}, 13, 13, 3, when::never, go::next},
        {"LD (nn),HL", {0x22}, 16, 16, 3, when::never, go::next},
        {"LD HL,(nn)", {0x2A}, 16, 16, 3, when::never, go::next},
        {"LD SP,HL", {0xF9}, 4, 4, 1, when::never, go::next},
        {"INC rr", {0x03, 0x13, 0x23, 0x33}, 6, 6, 1, when::never, go::next},
        {"DEC rr", {0x0B, 0x1B, 0x2B, 0x3B}, 6, 6, 1, when::never, go::next},
        {"INC r", {0x04, 0x0C, 0x14, 0x1C, 0x24, 0x2C, 0x3C}, 4, 4, 1, when::never, go::next},
        {"DEC r", {0x05, 0x0D, 0x15, 0x1D, 0x25, 0x2D, 0x3D}, 4, 4, 1, when::never, go::next},
        {"INC (HL)", {0x34}, 11, 11, 1, when::never, go::next},
        {"DEC (HL)", {0x35}, 11, 11, 1, when::never, go::next},
        {"ADD HL,rr", {0x09, 0x19, 0x29, 0x39}, 11, 11, 1, when::never, go::next},
        {"ADD A,r", {0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x87}, 4, 4, 1, when::never, go::next},
        {"ADD A,(HL)", {0x86}, 7, 7, 1, when::never, go::next},
        {"ADD A,n", {0xC6}, 7, 7, 2, when::never, go::next},
        {"ADC A,r", {0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8F}, 4, 4, 1, when::never, go::next},
        {"ADC A,(HL)", {0x8E}, 7, 7, 1, when::never, go::next},
        {"ADC A,n", {0xCE}, 7, 7, 2, when::never, go::next},
        {"SUB r", {0x90, 0x91, 0x92, 0x93, 0x94, 0x95, 0x97}, 4, 4, 1, when::never, go::next},
        {"SUB (HL)", {0x96}, 7, 7, 1, when::never, go::next},
        {"SUB n", {0xD6}, 7, 7, 2, when::never, go::next},
        {"SBC A,r", {0x98, 0x99, 0x9A, 0x9B, 0x9C, 0x9D, 0x9F}, 4, 4, 1, when::never, go::next},
        {"SBC A,(HL)", {0x9E}, 7, 7, 1, when::never, go::next},
        {"SBC A,n", {0xDE}, 8, 8, 2, when::never, go::next},
        {"AND r", {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA7}, 4, 4, 1, when::never, go::next},
        {"AND (HL)", {0xA6}, 7, 7, 1, when::never, go::next},
        {"AND n", {0xE6}, 7, 7, 2, when::never, go::next},
        {"XOR r", {0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAF}, 4, 4, 1, when::never, go::next},
        {"XOR (HL)", {0xAE}, 7, 7, 1, when::never, go::next},
        {"XOR n", {0xEE}, 8, 8, 2, when::never, go::next},
        {"OR r", {0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB7}, 4, 4, 1, when::never, go::next},
        {"OR (HL)", {0xB6}, 7, 7, 1, when::never, go::next},
        {"OR n", {0xF6}, 8, 8, 2, when::never, go::next},
        {"CP r", {0xB8, 0xB9, 0xBA, 0xBB, 0xBC, 0xBD, 0xBF}, 4, 4, 1, when::never, go::next},
        {"CP (HL)", {0xBE}, 7, 7, 1, when::never, go::next},
        {"CP n", {0xFE}, 8, 8, 2, when::never, go::next},
        {"RLCA RRCA RLA RRA", {0x07, 0x0F, 0x17, 0x1F}, 4, 4, 1, when::never, go::next},
        {"DAA", {0x27}, 4, 4, 1, when::never, go::next},
        {"CPL", {0x2F}, 4, 4, 1, when::never, go::next},
        {"SCF", {0x37}, 4, 4, 1, when::never, go::next},
        {"CCF", {0x3F}, 4, 4, 1, when::never, go::next},
        {"EX AF,AF'", {0x08}, 4, 4, 1, when::never, go::next},
        {"EXX", {0xD9}, 4, 4, 1, when::never, go::next},
        {"EX DE,HL", {0xEB}, 4, 4, 1, when::never, go::next},
        {"EX (SP),HL", {0xE3}, 19, 19, 1, when::never, go::next},
        {"DJNZ e", {0x10}, 8, 13, 2, when::djnz, go::rel},
        {"JR e", {0x18}, 12, 12, 2, when::always, go::rel},
        {"JR cc,e", {0x20, 0x28, 0x30, 0x38}, 7, 12, 2, when::jr_cc, go::rel},
        {"JP nn", {0xC3}, 10, 10, 3, when::always, go::abs},
        {"JP cc,nn", {0xC2, 0xCA, 0xD2, 0xDA, 0xE2, 0xEA}, 10, 10, 3, when::cc, go::abs},
        {"JP P,nn; JP M,nn", {0xF2, 0xFA}, 12, 12, 3, when::cc, go::abs},
        {"JP (HL)", {0xE9}, 4, 4, 1, when::always, go::hl},
        {"CALL nn", {0xCD}, 17, 17, 3, when::always, go::abs},
        {"CALL cc,nn", {0xC4, 0xCC, 0xD4, 0xDC, 0xE4, 0xEC}, 10, 17, 3, when::cc, go::abs},
        {"CALL P,nn; CALL M,nn", {0xF4, 0xFC}, 12, 20, 3, when::cc, go::abs},
        {"RET", {0xC9}, 10, 10, 1, when::always, go::ret},
        {"RET cc", {0xC0, 0xC8, 0xD0, 0xD8, 0xE0, 0xE8}, 5, 11, 1, when::cc, go::ret},
        {"RET P; RET M", {0xF0, 0xF8}, 12, 12, 1, when::cc, go::ret},
        {"RST 00h..20h", {0xC7, 0xCF, 0xD7, 0xDF, 0xE7}, 11, 11, 1, when::always, go::rst},
        {"RST 28h..38h", {0xEF, 0xF7, 0xFF}, 16, 16, 1, when::always, go::rst},
        {"POP BC/DE/HL", {0xC1, 0xD1, 0xE1}, 10, 10, 1, when::never, go::next},
        {"POP AF", {0xF1}, 12, 12, 1, when::never, go::next},
        {"PUSH BC/DE/HL", {0xC5, 0xD5, 0xE5}, 11, 11, 1, when::never, go::next},
        {"PUSH AF", {0xF5}, 12, 12, 1, when::never, go::next},
        {"IN A,(n)", {0xDB}, 11, 11, 2, when::never, go::next},
        {"OUT (n),A", {0xD3}, 11, 11, 2, when::never, go::next},
        {"DI", {0xF3}, 4, 4, 1, when::never, go::next},
        {"EI", {0xFB}, 4, 4, 1, when::never, go::next},
        {"HALT", {0x76}, 4, 4, 1, when::halt, go::stay},
    };
    return rows;
}

// The condition field: NZ Z NC C PO PE P M.
bool holds(int cc, uint8_t fl) {
    switch (cc) {
    case 0: return !(fl & 0x40);
    case 1: return fl & 0x40;
    case 2: return !(fl & 0x01);
    case 3: return fl & 0x01;
    case 4: return !(fl & 0x04);
    case 5: return fl & 0x04;
    case 6: return !(fl & 0x80);
    default: return fl & 0x80;
    }
}

TEST_F(Base, CostTableCoversEveryOpcodeButThePrefixesOnce) {
    int seen[256] = {};
    for (const cost_row &r : cost_rows())
        for (int op : r.ops) ++seen[op];
    for (int op = 0; op < 256; ++op) {
        bool prefix = op == 0xCB || op == 0xED || op == 0xDD || op == 0xFD;
        EXPECT_EQ(seen[op], prefix ? 0 : 1) << std::hex << "opcode " << op;
    }
}

// Every opcode from a fixed state, with every flag clear and with every flag
// set (so each condition is met once and missed once): the charge, and where
// pc ends up.
TEST_F(Base, SweepChargesLengthsAndTargets) {
    for (const cost_row &r : cost_rows())
        for (int op : r.ops)
            for (uint8_t fl : {uint8_t(0x00), uint8_t(0xFF)}) {
                z80_fresh();
                z80_program({uint8_t(op), 0x34, 0x12});
                f = fl;
                a = 0x40;
                bc.w = fl ? 0x0100 : 0x0200;  // DJNZ: B reaches 0 / stays non-zero
                de.w = 0x9DEF;
                hl.w = 0x9ABC;
                sp = 0xF000;
                ram[0xF000] = 0x78;
                ram[0xF001] = 0x56;

                bool taken = false;
                switch (r.w) {
                case when::always: taken = true; break;
                case when::never: case when::halt: taken = false; break;
                case when::cc: taken = holds((op >> 3) & 7, fl); break;
                case when::jr_cc: taken = holds((op >> 3) & 3, fl); break;
                case when::djnz: taken = fl == 0; break;
                }
                uint16_t want_pc = uint16_t(at + r.len);
                if (taken) {
                    switch (r.target) {
                    case go::rel: want_pc = uint16_t(at + 2 + 0x34); break;
                    case go::abs: want_pc = 0x1234; break;
                    case go::ret: want_pc = 0x5678; break;
                    case go::rst: want_pc = uint16_t(op & 0x38); break;
                    case go::hl: want_pc = 0x9ABC; break;
                    default: break;
                    }
                }
                if (r.w == when::halt) want_pc = at;  // no request: HALT stays on itself

                const int cost = z80_step_cost();
                EXPECT_EQ(cost, taken ? r.t_taken : r.t)
                    << r.what << std::hex << " opcode " << op << " F=" << int(fl);
                EXPECT_EQ(pc, want_pc) << r.what << std::hex << " opcode " << op << " F=" << int(fl);
                EXPECT_EQ(r_reg, 1) << r.what << " advances R by one";
            }
}

// ---------------------------------------------------------------------------
// Group results
// ---------------------------------------------------------------------------

// The eight operand places of the register field: B C D E H L (HL) A.
uint8_t &place(int z) {
    switch (z) {
    case 0: return b;
    case 1: return c;
    case 2: return d;
    case 3: return e;
    case 4: return h;
    case 5: return l;
    case 6: return ram[hl.w];
    default: return a;
    }
}
const char *const place_name[8] = {"B", "C", "D", "E", "H", "L", "(HL)", "A"};

TEST_F(Base, LdRegisterCopiesExactlyOnePlace) {
    for (int y = 0; y < 8; ++y)
        for (int z = 0; z < 8; ++z) {
            if (y == 6 && z == 6) continue;  // HALT
            z80_fresh();
            z80_program({uint8_t(0x40 | y << 3 | z)});
            bc.w = 0x1122; de.w = 0x3344; hl.w = 0x9A5C; a = 0x77; f = 0xA5;
            ram[0x9A5C] = 0xC3;
            uint8_t before[8];
            for (int i = 0; i < 8; ++i) before[i] = place(i);
            const uint16_t hl_before = hl.w;
            const int cost = z80_step_cost();
            EXPECT_EQ(cost, (y == 6 || z == 6) ? 7 : 4);
            for (int i = 0; i < 8; ++i) {
                uint8_t got = i == 6 ? ram[hl_before] : place(i);
                uint8_t want = i == y ? before[z] : before[i];
                EXPECT_EQ(got, want) << "LD " << place_name[y] << "," << place_name[z] << ": " << place_name[i];
            }
            EXPECT_EQ(f, 0xA5);
        }
}

// What an accumulator operation must leave in A and F, by the models.
void alu_model(int y, uint8_t acc, uint8_t v, int cin, uint8_t old_f, uint8_t &na, uint8_t &nf) {
    switch (y) {
    case 0: na = uint8_t(acc + v); nf = uint8_t(ref::setadd(acc, v)); break;
    case 1: na = uint8_t(acc + v + cin); nf = uint8_t(ref::setadc(acc, v, cin)); break;
    case 2: na = uint8_t(acc - v); nf = uint8_t(ref::setsub(acc, v)); break;
    case 3: na = uint8_t(acc - v - cin); nf = uint8_t(ref::setsbc(acc, v, cin)); break;
    case 4: na = acc & v; nf = uint8_t(ref::setzn(old_f, na) & ~ref::N); break;
    case 5: na = acc ^ v; nf = uint8_t(ref::setzn(old_f, na) & ~ref::N); break;
    case 6: na = acc | v; nf = uint8_t(ref::setzn(old_f, na) & ~ref::N); break;
    default: na = acc; nf = uint8_t(ref::setsub(acc, v)); break;
    }
}
const char *const alu_name[8] = {"ADD", "ADC", "SUB", "SBC", "AND", "XOR", "OR", "CP"};

// Each of the 72 accumulator opcodes (eight operations by B..A, (HL) and n)
// over edge values of A and the operand, both carries and H set or clear.
TEST_F(Base, AluOperationsUseTheirOperandAndHelper) {
    const uint8_t vals[] = {0x00, 0x01, 0x0F, 0x10, 0x3C, 0x7F, 0x80, 0x81, 0x9A, 0xF0, 0xFE, 0xFF};
    const int imm_cost[8] = {7, 7, 7, 8, 7, 8, 8, 8};
    for (int y = 0; y < 8; ++y)
        for (int z = 0; z < 9; ++z)  // z = 8: the immediate form
            for (uint8_t acc : vals)
                for (uint8_t v : vals)
                    for (uint8_t old_f : {uint8_t(0x00), uint8_t(0x01), uint8_t(0x10), uint8_t(0xFF)}) {
                        if (z == 7 && v != acc) continue;  // operand A is A itself
                        r_reg = 0;
                        if (z == 8) z80_program({uint8_t(0xC6 | y << 3), v});
                        else z80_program({uint8_t(0x80 | y << 3 | z)});
                        bc.w = 0x5555; de.w = 0x5555; hl.w = 0x9111;
                        if (z < 8) place(z) = v;
                        if (z == 4 || z == 5) ram[hl.w] = 0xEE;
                        a = acc;
                        f = old_f;
                        uint8_t na, nf;
                        alu_model(y, acc, v, old_f & 1, old_f, na, nf);
                        const int cost = z80_step_cost();
                        std::string what = std::string(alu_name[y]) + " " + (z == 8 ? "n" : place_name[z]);
                        ASSERT_EQ(a, na) << what << std::hex << " A=" << int(acc) << " v=" << int(v)
                                         << " F=" << int(old_f);
                        ASSERT_EQ(f, nf) << what << std::hex << " A=" << int(acc) << " v=" << int(v)
                                         << " F=" << int(old_f);
                        ASSERT_EQ(cost, z == 8 ? imm_cost[y] : z == 6 ? 7 : 4) << what;
                    }
}

TEST_F(Base, IncDecOfEveryPlaceAndValue) {
    for (int z = 0; z < 8; ++z)
        for (int dec = 0; dec < 2; ++dec)
            for (unsigned v = 0; v < 256; ++v)
                for (uint8_t old_f : {uint8_t(0x00), uint8_t(0xFF)}) {
                    z80_fresh();
                    z80_program({uint8_t(0x04 | z << 3 | dec)});
                    bc.w = 0x1111; de.w = 0x1111; hl.w = 0x9222;
                    ram[0x9222] = 0x11;
                    place(z) = uint8_t(v);
                    f = old_f;
                    const uint16_t hl_before = hl.w;
                    const int cost = z80_step_cost();
                    const uint8_t want = uint8_t(dec ? v - 1 : v + 1);
                    const uint8_t got = z == 6 ? ram[hl_before] : place(z);
                    const char *what = dec ? "DEC " : "INC ";
                    ASSERT_EQ(got, want) << what << place_name[z] << " " << v;
                    ASSERT_EQ(f, dec ? ref::setdec(old_f, want) : ref::setinc(old_f, want))
                        << what << place_name[z] << " " << v << " F=" << int(old_f);
                    ASSERT_EQ(cost, z == 6 ? 11 : 4) << what << place_name[z];
                }
}

TEST_F(Base, IncDecOfScreenByteMarksItsSquare) {
    z80_program({0x34, 0x35});
    hl.w = 0x5AFF;
    z80_step_cost();
    EXPECT_EQ(ram[0x5AFF], 1);
    EXPECT_EQ(dsquare[767], 1);
    EXPECT_EQ(dirty_count(), 1);
}

// The pair field: BC DE HL SP.
uint16_t &pair_place(int p) {
    switch (p) {
    case 0: return bc.w;
    case 1: return de.w;
    case 2: return hl.w;
    default: return sp;
    }
}

TEST_F(Base, PairLoadsIncrementsAndAdds) {
    const uint16_t vals[] = {0x0000, 0x00FF, 0x0FFF, 0x0800, 0x1800, 0x7FFF, 0x8000, 0xFFFF, 0x1234};
    for (int p = 0; p < 4; ++p) {
        // LD rr,nn: low byte first.
        z80_fresh();
        z80_program({uint8_t(0x01 | p << 4), 0xCD, 0xAB});
        EXPECT_EQ(z80_step_cost(), 10);
        EXPECT_EQ(pair_place(p), 0xABCD) << "LD rr,nn " << p;
        for (uint16_t v : vals)
            for (uint16_t w : vals)
                for (uint8_t old_f : {uint8_t(0x00), uint8_t(0xFF)}) {
                    // INC rr, DEC rr: no flags.
                    for (int dec = 0; dec < 2; ++dec) {
                        z80_fresh();
                        z80_program({uint8_t(0x03 | p << 4 | dec << 3)});
                        pair_place(p) = v;
                        f = old_f;
                        EXPECT_EQ(z80_step_cost(), 6);
                        EXPECT_EQ(pair_place(p), uint16_t(dec ? v - 1 : v + 1)) << p << " " << v;
                        EXPECT_EQ(f, old_f);
                    }
                    // ADD HL,rr
                    z80_fresh();
                    z80_program({uint8_t(0x09 | p << 4)});
                    hl.w = v;
                    if (p != 2) pair_place(p) = w;
                    const uint16_t src = p == 2 ? v : w;
                    f = old_f;
                    EXPECT_EQ(z80_step_cost(), 11);
                    EXPECT_EQ(hl.w, uint16_t(v + src)) << "ADD HL," << p;
                    EXPECT_EQ(f, ref::setadd16(old_f, v, src)) << std::hex << "ADD HL " << v << "," << src;
                }
    }
}

// The accumulator rotates: C from the bit shifted out, bits 5 and 3 from the
// new A, and S, Z, P/V, H and N as they were.
TEST_F(Base, AccumulatorRotatesKeepSignZeroAndParity) {
    for (int y = 0; y < 4; ++y)
        for (unsigned v = 0; v < 256; ++v)
            for (uint8_t old_f : {uint8_t(0x00), uint8_t(0xFF), uint8_t(0xD6), uint8_t(0x29), uint8_t(0x44)}) {
                z80_fresh();
                z80_program({uint8_t(0x07 | y << 3)});
                a = uint8_t(v);
                f = old_f;
                const int cin = old_f & 1;
                unsigned na, cy;
                switch (y) {
                case 0: cy = v >> 7; na = (v << 1 | cy) & 0xFF; break;     // RLCA
                case 1: cy = v & 1; na = v >> 1 | cy << 7; break;          // RRCA
                case 2: cy = v >> 7; na = (v << 1 | unsigned(cin)) & 0xFF; break;  // RLA
                default: cy = v & 1; na = v >> 1 | unsigned(cin) << 7; break;      // RRA
                }
                const int nf = (old_f & (ref::S | ref::Z | ref::PV | ref::H | ref::N)) | (na & 0x28) | int(cy);
                EXPECT_EQ(z80_step_cost(), 4);
                ASSERT_EQ(a, na) << y << " " << v;
                ASSERT_EQ(f, nf) << "rotate " << y << std::hex << " A=" << v << " F=" << int(old_f);
            }
}

// The ROM's multiply and divide test the sign that DEC A left across
// CCF; RLA; CCF; RRA. With A = 2 before DEC A the rotates end on 0x81, whose
// sign must not reach S.
TEST_F(Base, RomSignTestSurvivesTheRotates) {
    struct row { uint8_t a_in; bool jumps; };
    const row rows[] = {{0x02, true}, {0x01, true}, {0x00, false}, {0x81, false}, {0x80, true}};
    for (const row &r : rows) {
        z80_fresh();
        // DEC A; CCF; RLA; CCF; RRA; JP P,0x9000
        z80_program({0x3D, 0x3F, 0x17, 0x3F, 0x1F, 0xF2, 0x00, 0x90});
        a = r.a_in;
        for (int i = 0; i < 6; ++i) stepz80();
        EXPECT_EQ(pc, r.jumps ? 0x9000 : 0x8008) << std::hex << int(r.a_in);
    }
}

TEST_F(Base, DaaReplacesAfFromTheRuleForEveryInput) {
    for (unsigned i = 0; i < 2048; ++i) {
        z80_fresh();
        z80_program({0x27});
        a = uint8_t(i);
        // C, H and N from the index; the other flag bits set to show they do not count.
        f = uint8_t(0xE8 | ((i >> 8) & 1) | ((i >> 9) & 1) << 4 | ((i >> 10) & 1) << 1);
        EXPECT_EQ(z80_step_cost(), 4);
        ASSERT_EQ(af.w, ref::daa(i & 0xFF, (i >> 8) & 1, (i >> 9) & 1, (i >> 10) & 1)) << std::hex << i;
    }
}

TEST_F(Base, CplScfCcfTouchOnlyTheirBits) {
    for (unsigned old = 0; old < 256; ++old) {
        z80_fresh();
        z80_program({0x2F, 0x37, 0x3F});
        a = 0x5A;
        f = uint8_t(old);
        stepz80();  // CPL
        EXPECT_EQ(a, 0xA5);
        EXPECT_EQ(f, old | 0x12) << "CPL " << old;
        f = uint8_t(old);
        stepz80();  // SCF
        EXPECT_EQ(f, old | 0x01) << "SCF " << old;
        f = uint8_t(old);
        stepz80();  // CCF
        EXPECT_EQ(f, (old & 0xEE) | (old & 1) << 4 | ((old & 1) ^ 1)) << "CCF " << old;
        EXPECT_EQ(a, 0xA5);
    }
}

// The design's worked examples: bytes, A and F before, A and F after.
TEST_F(Base, WorkedExamples) {
    struct row { const char *what; std::vector<uint8_t> code; int steps; uint8_t a_in, f_in, a_out, f_out; };
    const row rows[] = {
        {"XOR A keeps H", {0xAF}, 1, 0x37, 0x10, 0x00, 0x54},
        {"AND 0Fh keeps H clear", {0xE6, 0x0F}, 1, 0xF0, 0x00, 0x00, 0x44},
        {"SCF after SUB keeps N", {0xD6, 0x01, 0x37}, 2, 0x05, 0x00, 0x04, 0x03},
        {"CPL of 0 keeps 5 and 3", {0x2F}, 1, 0x00, 0x28, 0xFF, 0x3A},
        {"RLCA of 80h", {0x07}, 1, 0x80, 0x00, 0x01, 0x01},
        {"RLCA keeps S Z P/V", {0x07}, 1, 0x80, 0xC4, 0x01, 0xC5},
        {"SUB A", {0x97}, 1, 0x9C, 0x01, 0x00, 0x42},
        {"ADC uses the carry of the fetch", {0x8F}, 1, 0x01, 0x01, 0x03, 0x00},
        {"SBC A,A with carry", {0x9F}, 1, 0x42, 0x01, 0xFF, 0xBB},
    };
    for (const row &r : rows) {
        z80_fresh();
        pc = at;
        for (size_t i = 0; i < r.code.size(); ++i) ram[at + i] = r.code[i];
        a = r.a_in;
        f = r.f_in;
        for (int i = 0; i < r.steps; ++i) stepz80();
        EXPECT_EQ(a, r.a_out) << r.what;
        EXPECT_EQ(f, r.f_out) << r.what;
    }
}

// ---------------------------------------------------------------------------
// Loads and stores through the memory rules
// ---------------------------------------------------------------------------

TEST_F(Base, DirectLoadsAndStoresFollowTheMemoryRules) {
    struct row { const char *what; std::vector<uint8_t> code; uint16_t check; uint8_t want; int dirty; };
    const row rows[] = {
        {"LD (3FFFh),A leaves ROM", {0x32, 0xFF, 0x3F}, 0x3FFF, 0x00, 0},
        {"LD (4000h),A marks square 0", {0x32, 0x00, 0x40}, 0x4000, 0x7E, 1},
        {"LD (5B00h),A marks nothing", {0x32, 0x00, 0x5B}, 0x5B00, 0x7E, 0},
        {"LD (5AFFh),HL marks once", {0x22, 0xFF, 0x5A}, 0x5B00, 0x12, 1},
        {"LD (BC),A", {0x02}, 0x4800, 0x7E, 1},
        {"LD (DE),A", {0x12}, 0x9000, 0x7E, 0},
        {"LD (HL),n", {0x36, 0x99}, 0x5800, 0x99, 1},
        {"LD (HL),A", {0x77}, 0x5800, 0x7E, 1},
    };
    for (const row &r : rows) {
        z80_fresh();
        pc = at;
        for (size_t i = 0; i < r.code.size(); ++i) ram[at + i] = r.code[i];
        a = 0x7E; bc.w = 0x4800; de.w = 0x9000; hl.w = 0x5800;
        if (r.code[0] == 0x22) hl.w = 0x1234;
        stepz80();
        uint8_t got = r.check < 0x4000 ? rd8(r.check) : ram[r.check];
        EXPECT_EQ(got, r.want) << r.what;
        EXPECT_EQ(dirty_count(), r.dirty) << r.what;
    }
}

TEST_F(Base, WordLoadsWrapAndReadLowByteFirst) {
    z80_program({0x2A, 0xFF, 0xFF});  // LD HL,(FFFFh)
    ram[0xFFFF] = 0x22;
    lorom[0x0000] = 0x11;
    EXPECT_EQ(z80_step_cost(), 16);
    EXPECT_EQ(hl.w, 0x1122);

    z80_fresh();
    z80_program({0x3A, 0x00, 0x3F, 0x0A, 0x1A});  // LD A,(3F00h); LD A,(BC); LD A,(DE)
    lorom[0x3F00] = 0x5C;
    bc.w = 0x9001; ram[0x9001] = 0x6D;
    de.w = 0x0002; lorom[0x0002] = 0x7E;
    stepz80();
    EXPECT_EQ(a, 0x5C);
    stepz80();
    EXPECT_EQ(a, 0x6D);
    stepz80();
    EXPECT_EQ(a, 0x7E);
}

TEST_F(Base, Exchanges) {
    z80_program({0x08, 0xD9, 0xEB, 0xE3});
    af.w = 0x1111; bc.w = 0x2222; de.w = 0x3333; hl.w = 0x4444;
    saf.w = 0xAAAA; sbc.w = 0xBBBB; sde.w = 0xCCCC; shl.w = 0xDDDD;
    stepz80();  // EX AF,AF'
    EXPECT_EQ(af.w, 0xAAAA);
    EXPECT_EQ(saf.w, 0x1111);
    stepz80();  // EXX
    EXPECT_EQ(bc.w, 0xBBBB); EXPECT_EQ(de.w, 0xCCCC); EXPECT_EQ(hl.w, 0xDDDD);
    EXPECT_EQ(sbc.w, 0x2222); EXPECT_EQ(sde.w, 0x3333); EXPECT_EQ(shl.w, 0x4444);
    EXPECT_EQ(af.w, 0xAAAA);
    stepz80();  // EX DE,HL
    EXPECT_EQ(de.w, 0xDDDD); EXPECT_EQ(hl.w, 0xCCCC);
    // EX (SP),HL with the stack on the last attribute byte.
    sp = 0x5AFF;
    ram[0x5AFF] = 0x78; ram[0x5B00] = 0x56;
    EXPECT_EQ(z80_step_cost(), 19);
    EXPECT_EQ(hl.w, 0x5678);
    EXPECT_EQ(ram[0x5AFF], 0xCC);
    EXPECT_EQ(ram[0x5B00], 0xCC);
    EXPECT_EQ(sp, 0x5AFF);
    EXPECT_EQ(dirty_count(), 1);
    EXPECT_EQ(dsquare[767], 1);
}

TEST_F(Base, StackInstructions) {
    z80_program({0xC5, 0xD5, 0xE5, 0xF5, 0xF1, 0xE1, 0xD1, 0xC1});
    bc.w = 0x0102; de.w = 0x0304; hl.w = 0x0506; af.w = 0x07FF;
    sp = 0x5B08;
    for (int i = 0; i < 4; ++i) stepz80();
    EXPECT_EQ(sp, 0x5B00);
    const uint8_t pushed[8] = {0xFF, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(ram[0x5B00 + i], pushed[i]) << i;
    EXPECT_EQ(dirty_count(), 0);
    // Pop them back crosswise: AF gets what was pushed from AF, all 8 bits of F.
    af.w = bc.w = de.w = hl.w = 0;
    for (int i = 0; i < 4; ++i) stepz80();
    EXPECT_EQ(af.w, 0x07FF);
    EXPECT_EQ(hl.w, 0x0506);
    EXPECT_EQ(de.w, 0x0304);
    EXPECT_EQ(bc.w, 0x0102);
    EXPECT_EQ(sp, 0x5B08);
}

TEST_F(Base, CallsPushTheNextAddressAndReturnsPopIt) {
    z80_program({0xCD, 0x00, 0x90});  // CALL 9000h
    z80_poke(0x9000, {0xFF});          // RST 38h
    z80_poke(0x0038, {0xC9});          // RET
    sp = 0x5B02;
    EXPECT_EQ(z80_step_cost(), 17);
    EXPECT_EQ(pc, 0x9000);
    EXPECT_EQ(sp, 0x5B00);
    EXPECT_EQ(ram[0x5B00], 0x03);
    EXPECT_EQ(ram[0x5B01], 0x80);
    EXPECT_EQ(z80_step_cost(), 16);
    EXPECT_EQ(pc, 0x0038);
    EXPECT_EQ(ram[0x5AFE], 0x01);  // the address after the RST
    EXPECT_EQ(ram[0x5AFF], 0x90);
    EXPECT_EQ(dirty_count(), 2);
    EXPECT_EQ(z80_step_cost(), 10);
    EXPECT_EQ(pc, 0x9001);
    EXPECT_EQ(sp, 0x5B00);
}

TEST_F(Base, RelativeJumpsWrapAndDjnzCountsB) {
    z80_poke(0x0000, {0x18, 0x80});  // JR -128 from 0002h
    pc = 0x0000;
    stepz80();
    EXPECT_EQ(pc, 0xFF82);

    struct row { uint8_t b_in, b_out; bool jumps; };
    const row rows[] = {{0x01, 0x00, false}, {0x00, 0xFF, true}, {0x02, 0x01, true}, {0x80, 0x7F, true}};
    for (const row &r : rows) {
        z80_fresh();
        z80_program({0x10, 0xFE});  // DJNZ $
        b = r.b_in;
        f = 0xFF;
        const int cost = z80_step_cost();
        EXPECT_EQ(b, r.b_out);
        EXPECT_EQ(pc, r.jumps ? at : at + 2);
        EXPECT_EQ(cost, r.jumps ? 13 : 8);
        EXPECT_EQ(f, 0xFF) << "DJNZ changes no flag";
    }
}

TEST_F(Base, PortsTakeTheirAddressFromAAndN) {
    z80_program({0xDB, 0x1F, 0xDB, 0xFE, 0xD3, 0xFF, 0xD3, 0xFE});
    a = 0x12;
    f = 0xD7;
    stepz80();  // IN A,(1Fh): odd port
    EXPECT_EQ(a, 0);
    a = 0x7F;
    stepz80();  // IN A,(FEh): port 7FFEh
    EXPECT_EQ(a, uint8_t(readula(0x7FFE)));
    EXPECT_EQ(f, 0xD7) << "IN A,(n) changes no flag";
    uladat = 0;
    a = 0x15;
    stepz80();  // OUT (FFh),A: odd, ignored
    EXPECT_EQ(uladat, 0);
    stepz80();  // OUT (FEh),A
    EXPECT_EQ(uladat, 0x15);
}

TEST_F(Base, InterruptControl) {
    z80_program({0xF3, 0xFB, 0x00, 0x76, 0x76});
    iff1 = 1; iff2 = 1;
    stepz80();  // DI
    EXPECT_EQ(iff1, 0);
    EXPECT_EQ(iff2, 1) << "DI leaves iff2";
    intreq = 1;
    stepz80();  // EI: discards the request; 2 becomes 3 at its end
    EXPECT_EQ(intreq, 0);
    EXPECT_EQ(iff1, 3);
    stepz80();  // NOP: 3 becomes 1
    EXPECT_EQ(iff1, 1);
    EXPECT_EQ(iff2, 1);
    // HALT with no request stays on itself and still advances R.
    iff1 = 0;
    r_reg = 0x7F;
    EXPECT_EQ(z80_step_cost(), 4);
    EXPECT_EQ(pc, 0x8003);
    EXPECT_EQ(r_reg, 0x80) << "R counts all eight bits";
    EXPECT_EQ(z80_step_cost(), 4);
    EXPECT_EQ(pc, 0x8003);
    // A request ends it though interrupts are off; the request stays.
    intreq = 1;
    stepz80();
    EXPECT_EQ(pc, 0x8004);
    EXPECT_EQ(intreq, 1);
}

}  // namespace
