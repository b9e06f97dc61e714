// The 48K memory map, the write rule's square marking, the stack, reset,
// the ports and the ROM loading.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ula/ula.h"
#include "z80/z80_mem.h"
#include "z80_harness.h"

namespace {

class Memory : public ::testing::Test {
  protected:
    void SetUp() override { z80_fresh(); }
};

TEST_F(Memory, PageTablesAreFixed) {
    EXPECT_EQ(readarray[0], lorom);
    for (int p = 1; p < 4; ++p) EXPECT_EQ(readarray[p], ram) << p;
    for (int p = 0; p < 4; ++p) EXPECT_EQ(writearray[p], ram) << p;
}

TEST_F(Memory, ReadRuleSplitsRomAndRam) {
    struct row { uint16_t addr; bool rom; };
    const row rows[] = {{0x0000, true}, {0x1000, true}, {0x3FFF, true},
                        {0x4000, false}, {0x8000, false}, {0xC000, false}, {0xFFFF, false}};
    for (const row &r : rows) {
        lorom[r.addr & 0x3FFF] = 0xA5;
        ram[r.addr] = 0x5A;
        EXPECT_EQ(rd8(r.addr), r.rom ? 0xA5 : 0x5A) << std::hex << r.addr;
    }
}

TEST_F(Memory, WritesToTheRomAreaLandInTheUnreadRamCopy) {
    lorom[0x1000] = 0x3C;
    wr8(0x1000, 0x99);
    EXPECT_EQ(rd8(0x1000), 0x3C);
    EXPECT_EQ(lorom[0x1000], 0x3C);
    EXPECT_EQ(ram[0x1000], 0x99);
    EXPECT_EQ(dirty_count(), 0);
}

// Each written address marks exactly the square it belongs to, or nothing.
TEST_F(Memory, WriteRuleMarksTheSquareOfScreenBytes) {
    struct row { uint16_t addr; int square; };  // -1: no mark
    const row rows[] = {
        {0x4000, 0},    {0x4100, 0},    {0x4700, 0},   {0x401F, 31},  {0x4020, 32},  {0x40E0, 224},
        {0x4800, 256},  {0x5000, 512},  {0x57FF, 767}, {0x5800, 0},   {0x581F, 31},  {0x5820, 32},
        {0x5AFF, 767},  {0x5B00, -1},   {0x3FFF, -1},  {0x0000, -1},  {0x8000, -1},  {0xFFFF, -1},
    };
    for (const row &r : rows) {
        std::memset(dsquare, 0, squares);
        wr8(r.addr, ram[r.addr]);  // the same value still marks
        EXPECT_EQ(dirty_count(), r.square < 0 ? 0 : 1) << std::hex << r.addr;
        if (r.square >= 0) {
            EXPECT_EQ(dsquare[r.square], 1) << std::hex << r.addr;
        }
    }
}

TEST_F(Memory, WordsAreLittleEndianAndEachByteFollowsItsOwnPage) {
    lorom[0x3FFF] = 0x12;
    ram[0x4000] = 0x34;
    EXPECT_EQ(rd16(0x3FFF), 0x3412);
    lorom[0x0000] = 0x77;
    ram[0xFFFF] = 0x66;
    EXPECT_EQ(rd16(0xFFFF), 0x7766);

    wr16(0x5AFF, 0xBEEF);
    EXPECT_EQ(ram[0x5AFF], 0xEF);
    EXPECT_EQ(ram[0x5B00], 0xBE);
    EXPECT_EQ(dirty_count(), 1);
    EXPECT_EQ(dsquare[767], 1);
}

TEST_F(Memory, StackPushesHighByteFirstAndWraps) {
    sp = 0x0001;
    push16(0xABCD);
    EXPECT_EQ(sp, 0xFFFF);
    EXPECT_EQ(ram[0x0000], 0xAB);  // the unread ROM-area copy
    EXPECT_EQ(ram[0xFFFF], 0xCD);

    sp = 0xFFFF;
    ram[0xFFFF] = 0x42;
    EXPECT_EQ(pull(), 0x42);
    EXPECT_EQ(sp, 0x0000);

    sp = 0x5B01;
    push16(0x1234);
    EXPECT_EQ(dirty_count(), 1);
    EXPECT_EQ(dsquare[767], 1);
    EXPECT_EQ(pop16(), 0x1234);
    EXPECT_EQ(sp, 0x5B01);
}

TEST_F(Memory, ResetClearsPcInterruptsAndAllRamOnly) {
    af.w = 0x1234; bc.w = 0x2345; sp = 0x6000; ix.w = 0x4321; ir.w = 0x3F10;
    saf.w = 0x5555; im = 2; intreq = 1; cycles = -7; pc = 0x8000; iff1 = 1; iff2 = 1;
    lorom[5] = 0x99;
    std::memset(ram, 0xEE, ram_size);
    resetz80();
    EXPECT_EQ(pc, 0);
    EXPECT_EQ(iff1, 0);
    EXPECT_EQ(iff2, 0);
    for (int i = 0; i < ram_size; ++i) ASSERT_EQ(ram[i], 0) << i;
    EXPECT_EQ(af.w, 0x1234);
    EXPECT_EQ(bc.w, 0x2345);
    EXPECT_EQ(sp, 0x6000);
    EXPECT_EQ(ix.w, 0x4321);
    EXPECT_EQ(ir.w, 0x3F10);
    EXPECT_EQ(saf.w, 0x5555);
    EXPECT_EQ(im, 2);
    EXPECT_EQ(intreq, 1);
    EXPECT_EQ(cycles, -7);
    EXPECT_EQ(lorom[5], 0x99);
    EXPECT_EQ(dirty_count(), 0);
}

TEST_F(Memory, PortsEvenReachTheUlaOddDoNot) {
    EXPECT_EQ(z80in(0x001F), 0);
    EXPECT_EQ(z80in(0xFFFF), 0);
    EXPECT_EQ(z80in(0xFEFE), uint8_t(readula(0xFEFE)));
    EXPECT_EQ(z80in(0x7FFE), uint8_t(readula(0x7FFE)));
    uladat = 0;
    z80out(0x00FF, 7);
    EXPECT_EQ(uladat, 0);
    z80out(0x12FE, 7);
    EXPECT_EQ(uladat, 7);
}

// ---- ROM loading ----

class TempDir {
  public:
    TempDir() {
        const char *base = std::getenv("TMPDIR");
        std::string tmpl = std::string(base && *base ? base : "/tmp") + "/brenvik-rom-XXXXXX";
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        if (mkdtemp(buf.data())) path_ = buf.data();
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd)) old_cwd_ = cwd;
    }
    ~TempDir() {
        if (!old_cwd_.empty() && chdir(old_cwd_.c_str()) != 0) std::perror("chdir");
        std::string cmd = "rm -rf '" + path_ + "'";
        if (!path_.empty() && std::system(cmd.c_str()) != 0) std::perror("rm");
    }
    const std::string &path() const { return path_; }
    std::string file(const std::string &name, size_t size, uint8_t fill) const {
        std::string p = path_ + "/" + name;
        FILE *fp = std::fopen(p.c_str(), "wb");
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(fill + i * 7);
        if (fp) {
            if (size) std::fwrite(bytes.data(), 1, size, fp);
            std::fclose(fp);
        }
        return p;
    }
    bool enter() const { return chdir(path_.c_str()) == 0; }

  private:
    std::string path_, old_cwd_;
};

bool lorom_is(uint8_t fill) {
    for (int i = 0; i < rom_size; ++i)
        if (lorom[i] != uint8_t(fill + i * 7)) return false;
    return true;
}
bool lorom_all(uint8_t v) {
    for (int i = 0; i < rom_size; ++i)
        if (lorom[i] != v) return false;
    return true;
}

TEST_F(Memory, LoadRomFileAcceptsOnlyExactly16K) {
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    struct row { const char *what; long size; bool ok; const char *says; };
    const row rows[] = {
        {"missing", -1, false, "cannot open"},
        {"empty", 0, false, "0 bytes"},
        {"short", 100, false, "100 bytes"},
        {"one short", 16383, false, "16383 bytes"},
        {"long", 16385, false, "longer than"},
        {"exact", 16384, true, ""},
    };
    for (const row &r : rows) {
        std::memset(lorom, 0xEE, rom_size);
        std::string path = dir.path() + "/" + r.what + ".rom";
        if (r.size >= 0) dir.file(std::string(r.what) + ".rom", size_t(r.size), 0x11);
        std::string error;
        EXPECT_EQ(loadrom_file(path, error), r.ok) << r.what;
        if (r.ok) {
            EXPECT_TRUE(lorom_is(0x11)) << r.what;
        } else {
            EXPECT_TRUE(lorom_all(0xEE)) << r.what << ": a rejected ROM must not be loaded in part";
            EXPECT_NE(error.find(path), std::string::npos) << error;
            EXPECT_NE(error.find(r.says), std::string::npos) << error;
        }
    }
}

TEST_F(Memory, LoadRomFileRejectsADirectory) {
    TempDir dir;
    std::memset(lorom, 0xEE, rom_size);
    std::string error;
    EXPECT_FALSE(loadrom_file(dir.path(), error));
    EXPECT_TRUE(lorom_all(0xEE));
}

TEST_F(Memory, LoadRomsPrefers48RomInTheWorkingDirectory) {
    TempDir dir;
    dir.file("48.rom", rom_size, 0x22);
    ASSERT_TRUE(dir.enter());
    testing::internal::CaptureStderr();
    EXPECT_TRUE(loadroms());
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(lorom_is(0x22));
}

TEST_F(Memory, LoadRomsReportsABad48RomWithoutFallingBack) {
    TempDir dir;
    dir.file("48.rom", 1000, 0x22);
    ASSERT_TRUE(dir.enter());
    std::memset(lorom, 0xEE, rom_size);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(loadroms());
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(lorom_all(0xEE));
    for (const char *part : {"48.rom", "1000 bytes", "16384", dir.path().c_str(), "opense-basic"})
        EXPECT_NE(said.find(part), std::string::npos) << "missing \"" << part << "\" in: " << said;
}

TEST_F(Memory, LoadRomsFallsBackToTheDefaultRom) {
    struct stat st;
    if (stat(BRENVIK_DEFAULT_ROM, &st) != 0) GTEST_SKIP() << "no " << BRENVIK_DEFAULT_ROM;
    TempDir dir;
    ASSERT_TRUE(dir.enter());
    std::memset(lorom, 0xEE, rom_size);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(loadroms());
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(lorom_all(0xEE));
    EXPECT_NE(said.find(BRENVIK_DEFAULT_ROM), std::string::npos) << said;
    // The ROM begins with DI at address 0, as every Spectrum ROM does.
    EXPECT_EQ(lorom[0], 0xF3);
}

}  // namespace
