// Snapshot writers: machine states saved in both formats and loaded back with
// our own loaders, the .z80 packing at its edges, the states a .sna refuses,
// and failed writes that must leave the old file and the machine alone.
#include <gtest/gtest.h>

#include <allegro.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "files/files.h"
#include "rom_machine.h"
#include "ula/ula.h"
#include "z80_harness.h"

namespace {

using bytes = std::vector<uint8_t>;

// Everything a save may not change and a load must give back.
struct machine {
    uint16_t w[13];
    int32_t iff1, iff2, im, intreq, cycles;
    uint8_t ula;
    bytes ram;  // all 64 KB
};

machine capture() {
    return {{af.w, bc.w, de.w, hl.w, ix.w, iy.w, saf.w, sbc.w, sde.w, shl.w, ir.w, sp, pc},
            iff1, iff2, im, intreq, cycles, uladat, bytes(ram, ram + ram_size)};
}

std::size_t first_difference(const bytes &a, const bytes &b, std::size_t from = 0) {
    return std::size_t(std::mismatch(a.begin() + long(from), a.end(), b.begin() + long(from)).first - a.begin());
}

void expect_unchanged(const machine &before) {
    const machine now = capture();
    for (int k = 0; k < 13; ++k) EXPECT_EQ(now.w[k], before.w[k]) << "register word " << k;
    EXPECT_EQ(now.iff1, before.iff1);
    EXPECT_EQ(now.iff2, before.iff2);
    EXPECT_EQ(now.im, before.im);
    EXPECT_EQ(now.intreq, before.intreq);
    EXPECT_EQ(now.cycles, before.cycles);
    EXPECT_EQ(now.ula, before.ula);
    EXPECT_EQ(first_difference(now.ram, before.ram), now.ram.size()) << "ram differs there";
}

// A machine holding something else, for a load to replace.
void scramble(uint32_t seed) {
    std::mt19937 rng(seed);
    for (pair *p : {&af, &bc, &de, &hl, &ix, &iy, &saf, &sbc, &sde, &shl, &ir}) p->w = uint16_t(rng());
    sp = uint16_t(rng()), pc = uint16_t(rng()), iff1 = 1 - iff1, iff2 = 1 - iff2, im = (im + 1) % 3;
    for (int a = 0x4000; a < ram_size; ++a) ram[a] = uint8_t(rng());
}

// Loads what was saved into a scrambled machine and compares with the saved
// state. The EI delay comes back as interrupts enabled. A .sna load pops the
// program counter and clears the two bytes it lay in: below the stack pointer,
// free stack space.
void expect_round_trip(const machine &saved, const bytes &file, bool sna) {
    scramble(saved.w[12] ^ 0x5A5A);
    snapshot_result r = sna ? opensna_bytes(file.data(), file.size(), "t") : openz80_bytes(file.data(), file.size(), "t");
    ASSERT_TRUE(r.ok) << r.caption << ": " << r.text;
    const machine now = capture();
    for (int k = 0; k < 13; ++k) EXPECT_EQ(now.w[k], saved.w[k]) << "register word " << k;
    const bool delay = saved.iff1 & 2;
    EXPECT_EQ(now.iff1, delay ? 1 : saved.iff1);
    EXPECT_EQ(now.iff2, delay ? 1 : saved.iff2);
    EXPECT_EQ(now.im, saved.im);
    bytes want = saved.ram;
    if (sna) want[uint16_t(saved.w[11] - 2)] = want[uint16_t(saved.w[11] - 1)] = 0;
    EXPECT_EQ(first_difference(now.ram, want, 0x4000), now.ram.size()) << "ram differs there";
}

// Saves the machine in both formats, checks that saving changed nothing,
// and loads the .z80 back, and the .sna when one was written. Returns
// whether it was, with the reason when not.
bool round_trips(std::string &reason) {
    const machine saved = capture();
    const bytes z80 = savez80_bytes();
    bytes sna;
    const bool sna_ok = savesna_bytes(sna, reason);
    expect_unchanged(saved);
    expect_round_trip(saved, z80, false);
    if (sna_ok) expect_round_trip(saved, sna, true);
    return sna_ok;
}

void expect_both_round_trips() {
    std::string reason;
    EXPECT_TRUE(round_trips(reason)) << reason;
}

// Keys held for a few frames each, as a person types into the ROM's editor.
void type(const std::string &text) {
    for (char ch : text) {
        const int k = ch == ' ' ? KEY_SPACE : ch == '\n' ? KEY_ENTER : ch == '0' ? KEY_0
                      : ch >= '1' && ch <= '9'       ? KEY_1 + (ch - '1')
                                                     : KEY_A + (ch - 'a');
        key[k] = 1;
        run_frames(6);
        key[k] = 0;
        run_frames(6);
    }
}

// Random registers with the given interrupt mode and R bit 7.
void random_registers(std::mt19937 &rng, int32_t mode, uint8_t r_bit7) {
    for (pair *p : {&af, &bc, &de, &hl, &ix, &iy, &saf, &sbc, &sde, &shl, &ir}) p->w = uint16_t(rng());
    r_reg = uint8_t((r_reg & 0x7F) | r_bit7);
    pc = uint16_t(rng());
    sp = uint16_t(0x5B02 + rng() % (0x10000 - 0x5B02));
    iff1 = iff2 = int32_t(rng() & 1);
    im = mode;
    uladat = uint8_t(rng());
}

// Memory the packer must get right: noise, runs of every length around the
// thresholds, runs of ED, lone EDs before runs, EDs at page ends.
void random_memory(std::mt19937 &rng) {
    for (int a = 0x4000; a < ram_size;) {
        const int len = int(rng() % 300) + 1;
        const uint32_t kind = rng() % 5;
        const uint8_t v = kind == 1 ? 0xED : uint8_t(rng());
        for (int k = 0; k < len && a < ram_size; ++k, ++a)
            ram[a] = kind == 0 ? uint8_t(rng()) : kind == 4 && k == 0 ? 0xED : v;
    }
    if (rng() & 1) ram[0x7FFF] = ram[0xBFFF] = ram[0xFFFF] = 0xED;
}

TEST(SnapshotSave, RomStatesRoundTripInBothFormats) {
    struct state {
        const char *what;
        std::function<void()> make;
    };
    const state states[] = {
        {"the ROM booted", [] {}},
        {"a BASIC program running", [] { type("10 goto 10\nrun\n"), run_frames(25); }},
        {"a BASIC line typed, not entered", [] { type("20 print 7"); }},
    };
    for (const state &s : states) {
        SCOPED_TRACE(s.what);
        std::string error;
        ASSERT_TRUE(boot_rom(120, error)) << error;
        s.make();
        expect_both_round_trips();
    }
}

TEST(SnapshotSave, RandomRegisterStatesRoundTripInEveryModeWithRBit7SetAndClear) {
    std::mt19937 rng(11);
    for (int32_t mode = 0; mode <= 2; ++mode) {
        for (uint8_t bit7 : {uint8_t(0x00), uint8_t(0x80)}) {
            SCOPED_TRACE("im " + std::to_string(mode) + ", R bit 7 " + std::to_string(bit7 >> 7));
            z80_fresh();
            random_memory(rng);
            random_registers(rng, mode, bit7);
            expect_both_round_trips();
        }
    }
}

// Every state: a .z80 always loads back as it was; a .sna is written exactly
// when it can hold the state, and then loads back as it was.
TEST(SnapshotSave, SavingThenLoadingIsTheIdentityForManyRandomStates) {
    std::mt19937 rng(2024);
    int sna_written = 0;
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        z80_fresh();
        random_memory(rng);
        random_registers(rng, int32_t(rng() % 3), uint8_t(rng() & 0x80));
        sp = uint16_t(rng());
        iff1 = int32_t(rng() % 4), iff2 = int32_t(rng() % 2);
        cycles = -int32_t(rng() % 30);
        const bool holdable = (sp == 0 || sp >= 0x5B02) && ((iff1 & 2) || iff1 == iff2);
        const uint16_t stack = sp;
        const int32_t flags = iff1 << 4 | iff2;
        std::string reason;
        const bool sna_ok = round_trips(reason);
        EXPECT_EQ(sna_ok, holdable) << "sp " << stack << ", iff1 and iff2 " << std::hex << flags;
        if (!sna_ok) {
            EXPECT_NE(reason.find("as .z80"), std::string::npos) << reason;
        }
        sna_written += sna_ok;
        if (HasFailure()) break;
    }
    EXPECT_GT(sna_written, 100);
}

// The bytes of the block of page 8 (0x4000..0x7FFF) in a saved .z80.
bytes page8_block(const bytes &f, uint16_t &length) {
    std::size_t pos = 30 + 2 + 54;
    while (pos + 3 <= f.size()) {
        length = uint16_t(f[pos] | f[pos + 1] << 8);
        const std::size_t n = length == 0xFFFF ? 16384 : length;
        if (f[pos + 2] == 8) return bytes(f.begin() + long(pos + 3), f.begin() + long(pos + 3 + n));
        pos += 3 + n;
    }
    ADD_FAILURE() << "no page 8";
    return {};
}

TEST(SnapshotSave, PacksRunsAndEDsAsTheFormatRules) {
    struct packing {
        const char *what;
        bytes start;  // of page 8; the rest of the page is 0x11
        bytes packed;  // how it must begin
    };
    const packing cases[] = {
        {"four equal bytes stay plain", {0, 0, 0, 0, 0x22}, {0, 0, 0, 0, 0x22}},
        {"five become a run", {0, 0, 0, 0, 0, 0x22}, {0xED, 0xED, 5, 0, 0x22}},
        {"a lone ED stays", {0xED, 0x22}, {0xED, 0x22}},
        {"two EDs are a run", {0xED, 0xED, 0x22}, {0xED, 0xED, 2, 0xED, 0x22}},
        {"three EDs are a run", {0xED, 0xED, 0xED, 0x22}, {0xED, 0xED, 3, 0xED, 0x22}},
        {"the byte after a lone ED is plain, even starting a run",
         {0xED, 0, 0, 0, 0, 0, 0, 0x22},
         {0xED, 0, 0xED, 0xED, 5, 0, 0x22}},
        {"a run longer than 255 is split", bytes(300, 7), {0xED, 0xED, 255, 7, 0xED, 0xED, 45, 7}},
    };
    // The end of page 8, and how its packed block must end.
    const packing ends[] = {
        {"a lone ED ending the page is a run of one", {0x22, 0xED}, {0x22, 0xED, 0xED, 1, 0xED}},
        {"a lone ED before the last byte stays", {0xED, 0x22}, {0xED, 0x22}},
    };
    for (const packing &c : cases) {
        SCOPED_TRACE(c.what);
        z80_fresh();
        std::memset(ram + 0x4000, 0x11, 0x4000);
        std::memcpy(ram + 0x4000, c.start.data(), c.start.size());
        uint16_t length = 0;
        const bytes block = page8_block(savez80_bytes(), length);
        ASSERT_GE(block.size(), c.packed.size());
        EXPECT_EQ(bytes(block.begin(), block.begin() + long(c.packed.size())), c.packed);
    }
    for (const packing &c : ends) {
        SCOPED_TRACE(c.what);
        z80_fresh();
        std::memset(ram + 0x4000, 0x11, 0x4000);
        std::memcpy(ram + 0x8000 - c.start.size(), c.start.data(), c.start.size());
        uint16_t length = 0;
        const bytes block = page8_block(savez80_bytes(), length);
        ASSERT_GE(block.size(), c.packed.size());
        EXPECT_EQ(bytes(block.end() - long(c.packed.size()), block.end()), c.packed);
    }
}

TEST(SnapshotSave, StoresAPagePlainWhenPackingWouldNotShrinkIt) {
    struct page {
        const char *what;
        std::function<uint8_t(int)> byte;
    };
    const page pages[] = {
        {"no runs at all", [](int o) { return uint8_t(o * 7 + o / 256); }},
        {"ED ED 00 over and over, which packing makes longer", [](int o) { return uint8_t(o % 3 == 2 ? 0 : 0xED); }},
    };
    for (const page &p : pages) {
        SCOPED_TRACE(p.what);
        z80_fresh();
        for (int o = 0; o < 0x4000; ++o) ram[0x4000 + o] = p.byte(o);
        ram[0x7FFF] = 0xED;  // a lone ED ends the page
        uint16_t length = 0;
        const bytes block = page8_block(savez80_bytes(), length);
        EXPECT_EQ(length, 0xFFFF);
        EXPECT_EQ(block, bytes(ram + 0x4000, ram + 0x8000));
    }
}

TEST(SnapshotSave, HeadersHoldRBit7TheBorderAndTheVersion3Marks) {
    z80_fresh();
    ir.w = 0x3F85, uladat = 0xF5, pc = 0x1234, sp = 0x8000, iff1 = 2, iff2 = 0;
    const bytes z = savez80_bytes();
    EXPECT_EQ(z[6] | z[7], 0) << "pc 0 in the main header marks version 2 or 3";
    EXPECT_EQ(z[30] | z[31] << 8, 54) << "version 3";
    EXPECT_EQ(z[32] | z[33] << 8, 0x1234);
    EXPECT_EQ(z[34], 0) << "a 48K Spectrum";
    EXPECT_EQ(z[11], 0x05);
    EXPECT_EQ(z[12], 0x01 | 5 << 1) << "R bit 7 and border 5";
    EXPECT_EQ(z[27], 1) << "the EI delay is saved as enabled";
    EXPECT_EQ(z[28], 1);
    bytes s;
    std::string reason;
    ASSERT_TRUE(savesna_bytes(s, reason)) << reason;
    EXPECT_EQ(s[20], 0x85);
    EXPECT_EQ(s[26], 5);
    EXPECT_EQ(s[19], 4);
    EXPECT_EQ(s[23] | s[24] << 8, 0x7FFE);
    EXPECT_EQ(s[27 + 0x3FFE] | s[27 + 0x3FFF] << 8, 0x1234) << "pc on the file's stack";
}

TEST(SnapshotSave, FormatFollowsTheExtensionInAnyCase) {
    const std::pair<const char *, snapshot_format> names[] = {
        {"a.z80", snapshot_format::z80}, {"/x/B.Z80", snapshot_format::z80}, {"c.SnA", snapshot_format::sna},
        {"d", snapshot_format::none},    {"e.tap", snapshot_format::none},   {"f.z8", snapshot_format::none},
        {"g.z80/h", snapshot_format::none},
    };
    for (auto [name, format] : names) EXPECT_EQ(save_format(name), format) << name;
}

// ---- Writing: failures leave the old file, the folder and the machine alone ----

std::set<std::string> entries(const std::string &folder) {
    std::set<std::string> names;
    if (DIR *d = opendir(folder.c_str())) {
        while (dirent *e = readdir(d))
            if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, "..")) names.insert(e->d_name);
        closedir(d);
    }
    return names;
}

bytes contents(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return bytes(std::istreambuf_iterator<char>(in), {});
}

long full_disk(int, const void *, std::size_t) {
    errno = ENOSPC;
    return -1;
}

int chunks_written = 0;
long fills_after_a_little(int fd, const void *data, std::size_t size) {
    if (chunks_written++ == 0) return long(::write(fd, data, std::min<std::size_t>(size, 10)));
    errno = ENOSPC;
    return -1;
}

struct failure {
    const char *what;
    const char *target;        // inside the test folder
    const char *reason;        // part of the message
    std::function<bool(const std::string &folder)> arrange;  // false: does not apply here
};

class SaveFailure : public ::testing::TestWithParam<failure> {
protected:
    void TearDown() override {
        atomic_write_chunk = plain_write;
        ::chmod(folder.c_str(), 0755);
        ::unlink((folder + "/old.z80").c_str());
        ::rmdir((folder + "/dir.z80").c_str());
        ::rmdir(folder.c_str());
    }
    static long plain_write(int fd, const void *data, std::size_t size) { return long(::write(fd, data, size)); }
    std::string folder;
};

TEST_P(SaveFailure, LeavesTheOldFileAndNoTemporaryFileAndSaysWhy) {
    const failure &f = GetParam();
    folder = testing::TempDir() + "brenvik_save_" + std::to_string(::getpid());
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    const bytes old = {'o', 'l', 'd'};
    std::ofstream(folder + "/old.z80", std::ios::binary).write("old", 3);
    ASSERT_EQ(::mkdir((folder + "/dir.z80").c_str(), 0755), 0);
    z80_fresh();
    sp = 0x8000, pc = 0x9000;
    if (!f.arrange(folder)) GTEST_SKIP() << f.what << " cannot be arranged here";
    const std::set<std::string> before = entries(folder);
    const machine saved = capture();

    const std::string path = folder + "/" + f.target;
    const snapshot_result r = savesnapshot(path);
    atomic_write_chunk = plain_write;
    ::chmod(folder.c_str(), 0755);

    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.caption, "Cannot Save Snapshot");
    EXPECT_EQ(r.text.rfind(path + "\n\n", 0), 0u) << r.text;
    EXPECT_NE(r.text.find(f.reason), std::string::npos) << r.text;
    EXPECT_EQ(contents(folder + "/old.z80"), old);
    EXPECT_EQ(entries(folder), before) << "no temporary file is left";
    expect_unchanged(saved);
}

const failure failures[] = {
    {"a read-only folder", "old.z80", "Permission denied",
     [](const std::string &folder) {
         // Permissions do not stop the superuser.
         return ::geteuid() != 0 && ::chmod(folder.c_str(), 0555) == 0;
     }},
    {"a folder that was removed", "gone/new.z80", "No such file or directory",
     [](const std::string &folder) {
         const std::string gone = folder + "/gone";
         return ::mkdir(gone.c_str(), 0755) == 0 && ::rmdir(gone.c_str()) == 0;
     }},
    {"a full disk", "old.z80", "No space left on device",
     [](const std::string &) { return atomic_write_chunk = full_disk, true; }},
    {"a disk that fills up during the write", "old.z80", "No space left on device",
     [](const std::string &) { return chunks_written = 0, atomic_write_chunk = fills_after_a_little, true; }},
    {"a target that is a folder", "dir.z80", "folder", [](const std::string &) { return true; }},
    {"a .sna that cannot hold the state", "old.sna", "as .z80",
     [](const std::string &) { return sp = 0x4100, true; }},
};

INSTANTIATE_TEST_SUITE_P(SnapshotSave, SaveFailure, ::testing::ValuesIn(failures),
                         [](const testing::TestParamInfo<failure> &i) { return "case" + std::to_string(i.index); });

TEST(SnapshotSave, ReplacesAnOldFileWhole) {
    const std::string path = testing::TempDir() + "brenvik_replace.z80";
    std::ofstream(path, std::ios::binary) << std::string(100000, 'x');
    z80_fresh();
    std::mt19937 rng(5);
    random_memory(rng);
    const snapshot_result r = savesnapshot(path);
    ASSERT_TRUE(r.ok) << r.text;
    EXPECT_EQ(contents(path), savez80_bytes());
    ::unlink(path.c_str());
}

}  // namespace
