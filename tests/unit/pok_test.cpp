// The .pok reader over good and damaged files, the trainers written into
// memory and taken out again, and the --poke values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pok/pok.h"
#include "z80/z80.h"

namespace {

pok_result read(const std::string &text, std::vector<trainer> &out) {
    return read_pok(reinterpret_cast<const uint8_t *>(text.data()), text.size(), "t.pok", out);
}

TEST(Pok, ReadsTrainersAndTheirPokes) {
    std::vector<trainer> t;
    const pok_result r = read("NInfinite lives\r\n"
                              "M 8 34567 0 53\r\n"
                              "Z 8 34568 201 58\r\n"
                              "\n"
                              "N  Start level\n"
                              "Z  8\t40000 256 1\n"
                              "NPaged\n"
                              "Z 3 49152 7 0\n"
                              "NRom\n"
                              "Z 8 100 7 0\n"
                              "Y\n"
                              "anything after the end\n",
                              t);
    ASSERT_TRUE(r.ok) << r.text;
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0].name, "Infinite lives");
    ASSERT_EQ(t[0].pokes.size(), 2u);
    EXPECT_EQ(t[0].pokes[1].bank, 8);
    EXPECT_EQ(t[0].pokes[1].address, 34568);
    EXPECT_EQ(t[0].pokes[1].value, 201);
    EXPECT_EQ(t[0].pokes[1].original, 58);
    EXPECT_EQ(t[1].name, "Start level");
    EXPECT_EQ(t[1].pokes[0].value, pok_ask);
    EXPECT_TRUE(trainer_asks(t[1]));
    EXPECT_FALSE(trainer_asks(t[0]));
    EXPECT_TRUE(trainer_fits_48k(t[0]));
    EXPECT_FALSE(trainer_fits_48k(t[2]));  // a 128K page
    EXPECT_FALSE(trainer_fits_48k(t[3]));  // the ROM
}

TEST(Pok, RefusesDamagedFilesWithTheLine) {
    struct { const char *text; const char *why; } bad[] = {
        {"", "line 1: the file ends without its Y line"},
        {"NA\nZ 8 40000 1 0\n", "line 3: the file ends without its Y line"},
        {"Y\n", "line 1: the file ends (Y) before any trainer"},
        {"NA\nM 8 40000 1 0\nY\n", "line 3: the file ends (Y) before the last trainer's Z line"},
        {"NA\nM 8 40000 1 0\nNB\n", "line 3: a new trainer begins"},
        {"Z 8 40000 1 0\nY\n", "line 1: a poke (Z) comes before its trainer's N line"},
        {"NA\nZ 8 40000 1 0\nM 8 40000 1 0\n", "line 3: a poke (M) comes before"},
        {"NA\nZ 8 40000 1\nY\n", "line 2: a poke has four numbers (bank, address, value, original), not 3"},
        {"NA\nZ 8 40000 1 0 5\nY\n", "line 2: a poke has four numbers"},
        {"NA\nZ 8 65536 1 0\nY\n", "line 2: the address '65536' is not a number from 0 to 65535"},
        {"NA\nZ 8 40000 257 0\nY\n", "line 2: the value '257'"},
        {"NA\nZ 8 40000 1 256\nY\n", "line 2: the original value '256'"},
        {"NA\nZ 256 40000 1 0\nY\n", "line 2: the bank '256'"},
        {"NA\nZ 8 -4 1 0\nY\n", "line 2: the address '-4'"},
        {"NA\nZ 8 0x9C40 1 0\nY\n", "line 2: the address '0x9C40'"},
        {"NA\nX 8 40000 1 0\nY\n", "line 2: a line begins with N, M, Z or Y, not 'X'"},
        {"NA\n\nn 8 40000 1 0\nY\n", "line 3: a line begins with N, M, Z or Y, not 'n'"},
    };
    for (const auto &b : bad) {
        std::vector<trainer> t(1);
        t[0].name = "kept";
        const pok_result r = read(b.text, t);
        EXPECT_FALSE(r.ok) << b.text;
        EXPECT_NE(r.text.find(b.why), std::string::npos) << r.text;
        ASSERT_EQ(t.size(), 1u);
        EXPECT_EQ(t[0].name, "kept");
    }
    // A NUL inside the line (the table's strings stop at one).
    const std::string nul("NA\nZ 8 40000 1 0\0\nY\n", 20);
    std::vector<trainer> t;
    const pok_result r = read_pok(reinterpret_cast<const uint8_t *>(nul.data()), nul.size(), "t.pok", t);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.text.find("line 2: it holds a NUL byte"), std::string::npos) << r.text;
}

TEST(Pok, ApplyingWritesAndRemovingRestoresMemory) {
    initz80();
    std::vector<trainer> t;
    // The second trainer pokes one address twice and one the first also pokes.
    ASSERT_TRUE(read("NA\nM 8 40000 1 0\nZ 8 40001 2 0\nNB\nM 8 40001 3 0\nM 8 50000 256 0\nZ 8 50000 4 0\nY\n",
                     t)
                    .ok);
    ram[40000] = 0xA0, ram[40001] = 0xA1, ram[50000] = 0xB0;
    ASSERT_TRUE(apply_trainer(t[0]));
    EXPECT_FALSE(apply_trainer(t[0]));  // applied already
    EXPECT_EQ(ram[40000], 1);
    EXPECT_EQ(ram[40001], 2);
    ASSERT_TRUE(apply_trainer(t[1], 99));
    EXPECT_EQ(ram[40001], 3);
    EXPECT_EQ(ram[50000], 4);
    remove_trainer(t[1]);
    EXPECT_EQ(ram[40001], 2);  // as the first trainer left it
    EXPECT_EQ(ram[50000], 0xB0);
    remove_trainer(t[0]);
    EXPECT_EQ(ram[40000], 0xA0);
    EXPECT_EQ(ram[40001], 0xA1);
    remove_trainer(t[0]);  // not applied: nothing happens
    EXPECT_EQ(ram[40000], 0xA0);
    // The asked value goes where the file says 256.
    t[1].pokes.pop_back();
    ASSERT_TRUE(apply_trainer(t[1], 99));
    EXPECT_EQ(ram[50000], 99);
    remove_trainer(t[1]);
    std::vector<trainer> paged;
    ASSERT_TRUE(read("NP\nZ 0 49152 7 0\nY\n", paged).ok);
    ram[49152] = 5;
    EXPECT_FALSE(apply_trainer(paged[0]));
    EXPECT_EQ(ram[49152], 5);
}

TEST(Pok, PokeOptionValues) {
    struct { const char *text; bool ok; uint16_t address; uint8_t value; } cases[] = {
        {"16384,0", true, 16384, 0},    {"65535,255", true, 65535, 255}, {"0x8000,0xC9", true, 0x8000, 0xC9},
        {"16383,1", false, 0, 0},       {"65536,1", false, 0, 0},        {"40000,256", false, 0, 0},
        {"40000", false, 0, 0},         {"40000,", false, 0, 0},         {",1", false, 0, 0},
        {"40000,1,2", false, 0, 0},     {" 40000,1", false, 0, 0},       {"0x,1", false, 0, 0},
    };
    for (const auto &c : cases) {
        uint16_t a = 0;
        uint8_t v = 0;
        EXPECT_EQ(parse_poke(c.text, a, v), c.ok) << c.text;
        if (!c.ok) continue;
        EXPECT_EQ(a, c.address) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
    }
}

}  // namespace
