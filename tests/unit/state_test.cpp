// The machine's state record and the rewind history: a machine put back to
// a captured state goes on exactly as it went on the first time, through a
// tape that is loading and the typing of LOAD "", and the history ring keeps
// at most its bound, dropping the oldest.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "files/files.h"
#include "rom_machine.h"
#include "state/state.h"
#include "tape/tape.h"
#include "ula/ula.h"
#include "z80/z80.h"

namespace {

void frames(int n) {
    for (int k = 0; k < n; ++k) {
        execz80();
        intreq = 1;
        tape_frame();
    }
}

// Every difference between two records, named; empty when they are the same.
std::string differences(const machine_state &a, const machine_state &b) {
    std::string out;
    auto check = [&](bool same, const char *what) {
        if (!same) out += std::string(what) + " ";
    };
#define SAME(field) check(a.field == b.field, #field)
    SAME(cpu.af.w), SAME(cpu.bc.w), SAME(cpu.de.w), SAME(cpu.hl.w), SAME(cpu.ix.w), SAME(cpu.iy.w);
    SAME(cpu.ir.w), SAME(cpu.saf.w), SAME(cpu.sbc.w), SAME(cpu.sde.w), SAME(cpu.shl.w);
    SAME(cpu.sp), SAME(cpu.pc), SAME(cpu.iff1), SAME(cpu.iff2), SAME(cpu.im), SAME(cpu.intreq);
    SAME(cpu.cycles), SAME(cpu.tempc), SAME(cpu.uladat), SAME(ram);
    SAME(tape.deck.name), SAME(tape.deck.playing), SAME(tape.deck.pos), SAME(tape.deck.left);
    SAME(tape.deck.span_end), SAME(tape.deck.played), SAME(tape.deck.level), SAME(tape.deck.reads);
    SAME(tape.deck.edges), SAME(tape.deck.busy_frames), SAME(tape.line_clock), SAME(tape.recording);
    SAME(tape.blocks), SAME(tape.unsaved), SAME(tape.mic.state), SAME(tape.mic.last_edge), SAME(tape.mic.bytes);
    SAME(tape.typing.strokes.size()), SAME(tape.typing.typed), SAME(tape.typing.wait), SAME(tape.typing.holding);
    SAME(tape.typing.stop_on_key), SAME(tape.typing.done);
#undef SAME
    check(std::memcmp(a.tape.typing.keys, b.tape.typing.keys, 8) == 0, "tape.typing.keys");
    const bool both = a.tape.tape && b.tape.tape;
    check(both && a.tape.tape->length == b.tape.tape->length &&
              a.tape.tape->spans.size() == b.tape.tape->spans.size(),
          "tape image");
    return out;
}

std::string whole_screen() {
    std::string text;
    for (int row = 0; row < 24; ++row) text += trimmed(screen_row(row)) + "\n";
    return text;
}

machine_state now() {
    machine_state s;
    capture_state(s);
    return s;
}

std::vector<uint8_t> zmakebas_tape() {
    char dir[] = "/tmp/brenvik_state_XXXXXX";
    if (!mkdtemp(dir)) return {};
    const std::string base = dir;
    FILE *f = std::fopen((base + "/prog.bas").c_str(), "w");
    std::fputs("10 PRINT \"REWOUND\"\n20 PRINT 6*7\n", f);
    std::fclose(f);
    const std::string command =
        std::string(ZMAKEBAS_PROGRAM) + " -a 10 -n back -o " + base + "/prog.tap " + base + "/prog.bas";
    std::vector<uint8_t> tap;
    if (std::system(command.c_str()) == 0) read_whole_file(base + "/prog.tap", 1 << 20, tap);
    return tap;
}

bool loading_done() { return !typing_running() && !deck.playing; }

// Runs until the tape has loaded and the program has run.
void load_on() {
    for (int k = 0; k < 20000 && !loading_done(); ++k) frames(1);
    frames(100);
}

struct moment {
    const char *what;
    bool tape;
    bool (*reached)();  // run until this holds before the state is captured
};

const moment moments[] = {
    {"BASIC with a typed line", false, [] { return true; }},
    {"LOAD \"\" being typed", true, [] { return typing_running() && now().tape.typing.typed > 2; }},
    {"tape in the middle of a block", true,
     [] { return deck.playing && tape_percent() > 40 && deck.tape.spans[deck.pos].length < 3000; }},
};

}  // namespace

class StateRecord : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(boot_rom(150, error)) << error;
        set_recording(false);
        deck = deck_state();
        recorded_blocks.clear();
        recording_unsaved = false;
        set_history_length(0);
    }
};

TEST_F(StateRecord, RestoredMachineGoesOnExactlyAsBefore) {
    const std::vector<uint8_t> tap = zmakebas_tape();
    ASSERT_FALSE(tap.empty()) << "zmakebas made no tape";
    for (const moment &m : moments) {
        SetUp();
        type_keys("10 print 42\n");
        if (m.tape) {
            ASSERT_TRUE(insert_tape_bytes(tap.data(), tap.size(), "back.tap", false).ok);
            start_autoload();
        }
        for (int k = 0; k < 20000 && !m.reached(); ++k) frames(1);
        ASSERT_TRUE(m.reached()) << m.what;
        const machine_state start = now();
        frames(150);
        const machine_state later = now();
        load_on();
        const machine_state end = now();
        const std::string screen = whole_screen();

        restore_state(start);
        EXPECT_EQ(differences(now(), start), "") << m.what << ": restored";
        frames(150);
        EXPECT_EQ(differences(now(), later), "") << m.what << ": 150 frames on";
        load_on();
        EXPECT_EQ(differences(now(), end), "") << m.what << ": at the end";
        EXPECT_EQ(whole_screen(), screen) << m.what;
    }
    EXPECT_NE(whole_screen().find("back\nREWOUND\n42\n"), std::string::npos) << whole_screen();
}

TEST_F(StateRecord, HistoryGoesBackThroughALoadingTapeAndLoadsOnAlike) {
    const std::vector<uint8_t> tap = zmakebas_tape();
    ASSERT_FALSE(tap.empty()) << "zmakebas made no tape";
    ASSERT_TRUE(insert_tape_bytes(tap.data(), tap.size(), "back.tap", false).ok);
    start_autoload();
    set_history_length(60);
    std::vector<machine_state> kept;
    for (int k = 1; k <= 50 * 12; ++k) {
        frames(1);
        if (k % 50) continue;
        keep_state(k);
        kept.push_back(now());
    }
    ASSERT_TRUE(deck.playing) << "the tape should still be loading";
    load_on();
    const machine_state straight = now();
    // Back four seconds, each state as it was kept; let go there, the later ones are dropped.
    for (int i = 11; i >= 8; --i) {
        ASSERT_TRUE(history_back());
        EXPECT_EQ(history_frame(), (i + 1) * 50);
        EXPECT_EQ(differences(now(), kept[std::size_t(i)]), "") << "state " << i;
    }
    history_resume();
    EXPECT_EQ(history_count(), 9);
    // Down to the oldest, then on from there: the tape loads to the same end.
    for (int i = 8; i >= 0; --i) {
        ASSERT_TRUE(history_back());
        EXPECT_EQ(differences(now(), kept[std::size_t(i)]), "") << "state " << i;
    }
    EXPECT_FALSE(history_back()) << "nothing is older than the oldest";
    history_resume();
    load_on();
    EXPECT_EQ(differences(now(), straight), "");
}

TEST(RewindHistory, RingDropsTheOldestAndKeepsItsBounds) {
    struct bound {
        const char *what;
        int length;
        int keeps;
        bool random_ram;  // every byte of ram new for each state: only the byte limit holds the ring
    };
    std::mt19937 random(21);
    for (const bound &b : {bound{"five states", 5, 20, false}, bound{"8 MB", 1000, 400, true}}) {
        std::memset(ram, 0, sizeof ram);
        set_history_length(b.length);
        for (int k = 0; k < b.keeps; ++k) {
            if (b.random_ram)
                for (int a = 0x4000; a < ram_size; ++a) ram[a] = uint8_t(random());
            ram[0x8000] = uint8_t(k);
            pc = uint16_t(k);
            keep_state(k);
            ASSERT_LE(history_count(), b.length) << b.what;
            ASSERT_LE(history_bytes(), history_byte_limit) << b.what;
        }
        const int count = history_count();
        if (b.random_ram) {
            EXPECT_GT(count, 60) << "60 seconds of changing memory fit in the bound";
        } else {
            EXPECT_EQ(count, b.length);
        }
        for (int i = 0; i < count; ++i) {
            ASSERT_TRUE(history_back()) << b.what;
            EXPECT_EQ(history_frame(), b.keeps - 1 - i) << b.what;
            EXPECT_EQ(ram[0x8000], uint8_t(b.keeps - 1 - i)) << b.what;
            EXPECT_EQ(pc, uint16_t(b.keeps - 1 - i)) << b.what;
        }
        EXPECT_FALSE(history_back()) << b.what << ": the older states were dropped";
    }
    set_history_length(0);
    keep_state(1);
    EXPECT_EQ(history_count(), 0) << "length 0 keeps nothing";
}

TEST(TapePosition, FileReadsBackAndRefusesOthers) {
    const tape_position p{"/home/me/games/jet set.tzx", 12, 345, 6789012345};
    const std::string good = format_tape_position(p);
    tape_position out;
    ASSERT_TRUE(parse_tape_position(reinterpret_cast<const uint8_t *>(good.data()), good.size(), out));
    EXPECT_EQ(format_tape_position(out), good);
    const std::vector<std::string> refused = {
        good.substr(0, good.size() - 3), good + "x", "hello" + good.substr(23),
        "brenvik tape position 1\nname t\npos -1\nleft 2\nplayed 3\n",
        "brenvik tape position 1\nname t\npos 1\nleft 4294967296\nplayed 3\n"};
    for (const std::string &bad : refused)
        EXPECT_FALSE(parse_tape_position(reinterpret_cast<const uint8_t *>(bad.data()), bad.size(), out)) << bad;
}
