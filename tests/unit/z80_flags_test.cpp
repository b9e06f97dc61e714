// Flag tables and the twelve flag helpers, against the slow models of
// z80_flag_ref.h: exhaustively where the inputs are few, and over edge values
// plus a pseudo-random sample for the 16-bit helpers.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "z80/z80_flags.h"
#include "z80_flag_ref.h"
#include "z80_harness.h"

namespace {

class Flags : public ::testing::Test {
  protected:
    void SetUp() override { z80_fresh(); }
};

TEST_F(Flags, ZnptableMatchesDefinitionForEveryByte) {
    for (unsigned v = 0; v < 256; ++v) ASSERT_EQ(znptable[v], ref::sz53p(v)) << "v=" << v;
}

TEST_F(Flags, Znptable16MatchesDefinitionForEveryWord) {
    for (unsigned w = 0; w < 65536; ++w) ASSERT_EQ(znptable16[w], ref::sz16p(w)) << "w=" << w;
}

TEST_F(Flags, TableExamples) {
    struct row { unsigned index; int want; bool wide; };
    const row rows[] = {
        {0x00, 0x44, false}, {0x28, 0x2C, false}, {0x80, 0x80, false}, {0xFF, 0xAC, false},
        {0x0000, 0x44, true}, {0x8000, 0x80, true}, {0xFFFF, 0x84, true}, {0x0028, 0x04, true},
    };
    for (const row &r : rows)
        EXPECT_EQ(r.wide ? znptable16[r.index] : znptable[r.index], r.want) << std::hex << r.index;
}

TEST_F(Flags, DaaTableHoldsTheRuleForAll2048Entries) {
    for (unsigned i = 0; i < 2048; ++i) {
        unsigned want = ref::daa(i & 0xFF, (i >> 8) & 1, (i >> 9) & 1, (i >> 10) & 1);
        ASSERT_EQ(DAATable[i], want) << "index 0x" << std::hex << i;
    }
}

TEST_F(Flags, DaaExamples) {
    struct row { unsigned index, af; };
    const row rows[] = {{0x000, 0x0044}, {0x009, 0x090C}, {0x00A, 0x1010}, {0x09A, 0x0055}, {0x40F, 0x090E}};
    for (const row &r : rows) EXPECT_EQ(DAATable[r.index], r.af) << std::hex << r.index;
}

// The helpers that depend on the old F: every result byte with every old F.
TEST_F(Flags, OneOperandHelpersForEveryValueAndOldF) {
    for (int old = 0; old < 256; ++old)
        for (unsigned r = 0; r < 256; ++r) {
            f = uint8_t(old); setzn(uint8_t(r));
            ASSERT_EQ(f, ref::setzn(old, r)) << "setzn r=" << r << " f=" << old;
            f = uint8_t(old); setznc(uint8_t(r));
            ASSERT_EQ(f, ref::setznc(old, r)) << "setznc r=" << r << " f=" << old;
            f = uint8_t(old); setinc(uint8_t(r));
            ASSERT_EQ(f, ref::setinc(old, r)) << "setinc r=" << r << " f=" << old;
            f = uint8_t(old); setdec(uint8_t(r));
            ASSERT_EQ(f, ref::setdec(old, r)) << "setdec r=" << r << " f=" << old;
        }
}

// The two-operand 8-bit helpers replace F whole: every pair of operands with
// both carries, starting from an old F with every bit set and with none.
TEST_F(Flags, TwoOperandHelpersForEveryInput) {
    for (int old : {0x00, 0xFF})
        for (int cin = 0; cin < 2; ++cin)
            for (unsigned x = 0; x < 256; ++x)
                for (unsigned y = 0; y < 256; ++y) {
                    tempc = cin;
                    f = uint8_t(old); setadd(uint8_t(x), uint8_t(y));
                    ASSERT_EQ(f, ref::setadd(x, y)) << "setadd " << x << "," << y;
                    f = uint8_t(old); setadc(uint8_t(x), uint8_t(y));
                    ASSERT_EQ(f, ref::setadc(x, y, cin)) << "setadc " << x << "," << y << " c=" << cin;
                    f = uint8_t(old); setsub(uint8_t(x), uint8_t(y));
                    ASSERT_EQ(f, ref::setsub(x, y)) << "setsub " << x << "," << y;
                    f = uint8_t(old); setsbc(uint8_t(x), uint8_t(y));
                    ASSERT_EQ(f, ref::setsbc(x, y, cin)) << "setsbc " << x << "," << y << " c=" << cin;
                    f = uint8_t(old); setcp(uint8_t(x), uint8_t(y));
                    ASSERT_EQ(f, ref::setsub(x, y)) << "setcp " << x << "," << y;
                }
}

// Edge words (around the sign, bit 11/12 and carry boundaries) in every pair,
// plus a fixed pseudo-random sample.
std::vector<std::pair<unsigned, unsigned>> word_pairs() {
    const unsigned edges[] = {0x0000, 0x0001, 0x07FF, 0x0800, 0x0FFF, 0x1000, 0x17FF, 0x1800, 0x1FFF,
                              0x7FFE, 0x7FFF, 0x8000, 0x8001, 0xF7FF, 0xF800, 0xFFFE, 0xFFFF, 0x5A5A};
    std::vector<std::pair<unsigned, unsigned>> out;
    for (unsigned x : edges)
        for (unsigned y : edges) out.push_back({x, y});
    uint32_t s = 12345;
    for (int i = 0; i < 200000; ++i) {
        s = s * 1103515245u + 12345u;
        unsigned x = s >> 16;
        s = s * 1103515245u + 12345u;
        out.push_back({x, s >> 16});
    }
    return out;
}

TEST_F(Flags, WordHelpersOverEdgesAndSample) {
    const int olds[] = {0x00, 0xFF, 0x28, 0xD7, 0x01, 0xFE};
    for (const auto &[x, y] : word_pairs())
        for (int old : olds)
            for (int cin = 0; cin < 2; ++cin) {
                tempc = cin;
                f = uint8_t(old); setadd16(uint16_t(x), uint16_t(y));
                ASSERT_EQ(f, ref::setadd16(old, x, y)) << std::hex << "setadd16 " << x << "," << y << " f=" << old;
                f = uint8_t(old); setadc16(uint16_t(x), uint16_t(y));
                ASSERT_EQ(f, ref::setadc16(x, y, cin)) << std::hex << "setadc16 " << x << "," << y << " c=" << cin;
                f = uint8_t(old); setsbc16(uint16_t(x), uint16_t(y));
                ASSERT_EQ(f, ref::setsbc16(old, x, y)) << std::hex << "setsbc16 " << x << "," << y << " f=" << old;
            }
}

// The worked examples, each with the F it must produce.
TEST_F(Flags, ListedExamples) {
    struct row { const char *what; void (*run)(); int f_before, tempc, want; };
    const row rows[] = {
        {"setadd 7F+01", [] { setadd(0x7F, 0x01); }, 0, 0, 0x94},
        {"setadd FF+01", [] { setadd(0xFF, 0x01); }, 0, 0, 0x51},
        {"setadc 7F+00+1", [] { setadc(0x7F, 0x00); }, 0, 1, 0x94},
        {"setsub 80-01", [] { setsub(0x80, 0x01); }, 0, 0, 0x3E},
        {"setsub 00-01", [] { setsub(0x00, 0x01); }, 0, 0, 0xBB},
        {"setcp 01,0A", [] { setcp(0x01, 0x0A); }, 0, 0, 0xA3},
        {"setsub 01-0A", [] { setsub(0x01, 0x0A); }, 0, 0, 0xA3},
        {"setsbc 00-FF-1", [] { setsbc(0x00, 0xFF); }, 0, 1, 0x43},
        {"setinc 80", [] { setinc(0x80); }, 0, 0, 0x94},
        {"setinc 10", [] { setinc(0x10); }, 0, 0, 0x10},
        {"setdec 7F", [] { setdec(0x7F); }, 0, 0, 0x2E},
        {"setdec 20", [] { setdec(0x20); }, 0, 0, 0x32},
        {"setdec 0F", [] { setdec(0x0F); }, 0, 0, 0x0A},
        {"setinc keeps C", [] { setinc(0x01); }, 0x01, 0, 0x01},
        {"setadd16 0FFF+1", [] { setadd16(0x0FFF, 0x0001); }, 0, 0, 0x10},
        {"setadd16 0800+0800", [] { setadd16(0x0800, 0x0800); }, 0, 0, 0x10},
        {"setadd16 1800+0800", [] { setadd16(0x1800, 0x0800); }, 0, 0, 0x00},
        {"setadd16 keeps SZ53P", [] { setadd16(0xFFFF, 0x0001); }, 0xFF, 0, 0xED},
        {"setsbc16 0000-FFFF-1", [] { setsbc16(0x0000, 0xFFFF); }, 0x01, 0, 0x43},
        {"setsbc16 ignores tempc", [] { setsbc16(0x0005, 0x0005); }, 0x00, 1, 0x42},
        {"setadc16 7FFF+0+1", [] { setadc16(0x7FFF, 0x0000); }, 0, 1, 0x94},
    };
    for (const row &r : rows) {
        f = uint8_t(r.f_before);
        tempc = r.tempc;
        r.run();
        EXPECT_EQ(f, r.want) << r.what;
    }
}

}  // namespace
