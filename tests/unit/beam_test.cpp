// The floating bus: what an odd port reads at each T-state of the frame, and
// a program of our own (assembled by pasmo) that waits for one cell's
// attribute on port 0xFF, as games sync to the picture.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "beam/beam.h"
#include "files/files.h"
#include "joystick/joystick.h"
#include "tape/tape.h"
#include "z80/z80.h"

namespace {

// The clock moved to T-state t of a frame.
void at_tstate(int32_t t) { cycles = int32_t(tstates_per_frame - t); }

int bitmap_address(int line, int column) {
    return 0x4000 | (line & 0xC0) << 5 | (line & 7) << 8 | (line & 0x38) << 2 | column;
}
int attribute_address(int line, int column) { return 0x5800 + (line >> 3) * 32 + column; }

class FloatingBus : public ::testing::Test {
protected:
    void SetUp() override {
        initz80();
        std::memset(ram, 0, ram_size);
        floating_bus = 1;
        line_clock = 0;
        beam_frame_start();
        line_clock = tstates_per_frame;
    }
    void TearDown() override { floating_bus = 0; }
};

TEST_F(FloatingBus, ReadsTheFetchOfEachTState) {
    // Every byte of screen memory different from its neighbours, none 0xFF.
    for (int a = 0x4000; a < 0x5B00; ++a) ram[a] = uint8_t(a * 7 % 255);
    struct read_case {
        const char *what;
        int32_t tstate;
        int address;  // 0 for 0xFF, nothing fetched
    };
    const int line_start = first_picture_tstate;
    const read_case cases[] = {
        {"the border above the picture", line_start - 1, 0},
        {"the first bitmap byte", line_start, bitmap_address(0, 0)},
        {"its attribute", line_start + 1, attribute_address(0, 0)},
        {"the second column's bitmap byte", line_start + 2, bitmap_address(0, 1)},
        {"its attribute", line_start + 3, attribute_address(0, 1)},
        {"the idle T-states after two columns", line_start + 7, 0},
        {"the third column", line_start + 8, bitmap_address(0, 2)},
        {"the last column's attribute", line_start + 123, attribute_address(0, 31)},
        {"the right border", line_start + 128, 0},
        {"the second line", line_start + 224, bitmap_address(1, 0)},
        {"line 77, column 13's attribute", line_start + 77 * 224 + 51, attribute_address(77, 13)},
        {"line 191, column 30", line_start + 191 * 224 + 120, bitmap_address(191, 30)},
        {"the border below the picture", line_start + 192 * 224, 0},
    };
    for (const read_case &c : cases) {
        at_tstate(c.tstate);
        EXPECT_EQ(z80in(0x40FF), c.address ? ram[c.address] : 0xFF) << c.what << " at " << c.tstate;
    }
    at_tstate(line_start + 1);
    kempston = 0x12;
    EXPECT_EQ(z80in(0x001F), 0x12) << "the Kempston port is not the floating bus";
    floating_bus = 0;
    EXPECT_EQ(z80in(0x40FF), 0) << "without the floating bus an odd port reads 0";
    kempston = 0;
}

// Polls port 0xFF until it reads 0x47, which only the attribute of the cell
// at row 10, column 13 holds, then stays at `synced`.
constexpr const char *poll_program = "    org 0x8000\n"
                                     "    di\n"
                                     "poll: in a, (0xff)\n"
                                     "    cp 0x47\n"
                                     "    jr nz, poll\n"
                                     "synced: jr synced\n";

std::vector<uint8_t> assemble(const std::string &source) {
    char dir[] = "/tmp/brenvik_beam_XXXXXX";
    std::vector<uint8_t> code;
    if (!mkdtemp(dir)) return code;
    const std::string base = std::string(dir) + "/poll";
    FILE *f = std::fopen((base + ".asm").c_str(), "w");
    if (!f) return code;
    std::fputs(source.c_str(), f);
    std::fclose(f);
    const std::string command = std::string(PASMO_PROGRAM) + " --bin " + base + ".asm " + base + ".bin";
    if (std::system(command.c_str()) == 0) read_whole_file(base + ".bin", 4096, code);
    for (const char *end : {".asm", ".bin"}) std::remove((base + end).c_str());
    rmdir(dir);
    return code;
}

TEST_F(FloatingBus, APollingProgramSyncsToACell) {
    if (access(PASMO_PROGRAM, X_OK) != 0) GTEST_SKIP() << "pasmo is not installed";
    const std::vector<uint8_t> code = assemble(poll_program);
    ASSERT_FALSE(code.empty()) << "pasmo could not assemble the program";
    const uint16_t synced = uint16_t(0x8000 + code.size() - 2);
    for (int bus : {1, 0}) {
        std::memset(ram, 0, ram_size);
        std::memcpy(ram + 0x8000, code.data(), code.size());
        ram[0x5800 + 10 * 32 + 13] = 0x47;
        floating_bus = bus;
        pc = 0x8000;
        cycles = 0;
        int frames = 0;
        for (; frames < 50 && pc != synced; ++frames) execz80();
        if (bus) {
            EXPECT_EQ(pc, synced) << "still polling after 50 frames";
            EXPECT_EQ(af.by.hi, 0x47);
        } else {
            EXPECT_NE(pc, synced) << "synced after " << frames << " frames without the floating bus";
            EXPECT_EQ(af.by.hi, 0) << "port 0xFF read nonzero without the floating bus";
        }
    }
}

}  // namespace
