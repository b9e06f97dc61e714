// Tapes through the ROM's own LOAD and SAVE: images made by Debian's
// zmakebas and pasmo, .tzx variants of the same data built here, and a SAVE
// recorded from the MIC bit. The default ROM's loader samples bit 6 of port
// 0xFE in a timed loop, so the deck's edges must fall on the right T-states.
#include <gtest/gtest.h>

#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "files/files.h"
#include "rom_machine.h"
#include "tape/tape.h"
#include "z80/z80.h"
#include "z80_harness.h"

namespace {

using bytes = std::vector<uint8_t>;

std::string scratch_dir() {
    static std::string dir;
    if (dir.empty()) {
        char name[] = "/tmp/brenvik_tape_XXXXXX";
        dir = mkdtemp(name) ? name : "/tmp";
    }
    return dir;
}

bool have(const char *program) { return access(program, X_OK) == 0; }

// Runs a tool and reads the tape it wrote.
bytes tool_tape(const std::string &command, const std::string &out) {
    bytes data;
    if (std::system(command.c_str()) != 0) return data;
    read_whole_file(out, 1 << 20, data);
    return data;
}

bytes zmakebas(const std::string &listing, const std::string &args) {
    const std::string dir = scratch_dir();
    FILE *f = std::fopen((dir + "/prog.bas").c_str(), "w");
    std::fputs(listing.c_str(), f);
    std::fclose(f);
    return tool_tape(std::string(ZMAKEBAS_PROGRAM) + " " + args + " -o " + dir + "/prog.tap " + dir + "/prog.bas",
                     dir + "/prog.tap");
}

// The blocks (flag, data, checksum) of a .tap image.
std::vector<bytes> tap_blocks(const bytes &tap) {
    std::vector<bytes> out;
    for (std::size_t at = 0; at + 2 <= tap.size();) {
        const std::size_t n = tap[at] | tap[at + 1] << 8;
        out.emplace_back(tap.begin() + long(at + 2), tap.begin() + long(at + 2 + n));
        at += 2 + n;
    }
    return out;
}

void put16(bytes &b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put24(bytes &b, uint32_t v) {
    put16(b, v);
    b.push_back(uint8_t(v >> 16));
}

bytes tzx_header() { return {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20}; }

// The pulses of one block at the ROM's speed.
std::vector<uint32_t> standard_pulses(const bytes &block) {
    std::vector<uint32_t> p(block[0] < 0x80 ? 8063 : 3223, 2168);
    p.push_back(667);
    p.push_back(735);
    for (uint8_t byte : block)
        for (int b = 7; b >= 0; --b) p.insert(p.end(), 2, byte >> b & 1 ? 1710 : 855);
    return p;
}

// Each block of a .tap in one of the .tzx forms.
enum class form { standard, turbo, tone_pulses_data, direct };

void append_block(bytes &t, const bytes &block, form f) {
    switch (f) {
    case form::standard:
        t.push_back(0x10);
        put16(t, 1000);
        put16(t, uint32_t(block.size()));
        break;
    case form::turbo:
        // Timings of its own, within what the ROM's loader accepts.
        t.push_back(0x11);
        for (uint32_t v : {2100u, 640u, 700u, 820u, 1640u, 4000u}) put16(t, v);
        t.push_back(8);
        put16(t, 1000);
        put24(t, uint32_t(block.size()));
        break;
    case form::tone_pulses_data:
        t.push_back(0x12);
        put16(t, 2168);
        put16(t, block[0] < 0x80 ? 8063 : 3223);
        t.push_back(0x13);
        t.push_back(2);
        put16(t, 667);
        put16(t, 735);
        t.push_back(0x14);
        put16(t, 855);
        put16(t, 1710);
        t.push_back(8);
        put16(t, 1000);
        put24(t, uint32_t(block.size()));
        break;
    case form::direct: {
        // The standard signal sampled every 79 T-states (44.3 kHz), high first.
        constexpr uint32_t step = 79;
        bytes samples;
        uint64_t edge = 0, at = 0;
        int level = 0, bits = 0;
        uint8_t acc = 0;
        for (uint32_t pulse : standard_pulses(block)) {
            level ^= 1;
            edge += pulse;
            for (; at < edge; at += step) {
                acc = uint8_t(acc << 1 | level);
                if (++bits == 8) samples.push_back(acc), bits = 0, acc = 0;
            }
        }
        if (bits) samples.push_back(uint8_t(acc << (8 - bits)));
        t.push_back(0x15);
        put16(t, step);
        put16(t, 1000);
        t.push_back(uint8_t(bits ? bits : 8));
        put24(t, uint32_t(samples.size()));
        t.insert(t.end(), samples.begin(), samples.end());
        return;
    }
    }
    t.insert(t.end(), block.begin(), block.end());
}

bytes as_tzx(const bytes &tap, form f) {
    bytes t = tzx_header();
    for (const bytes &b : tap_blocks(tap)) append_block(t, b, f);
    return t;
}

void fresh_deck() {
    set_recording(false);
    deck = deck_state();
    recorded_blocks.clear();
    recording_unsaved = false;
}

// Runs frames as the main loop does, until done() or the limit.
template <typename F>
bool run_until(F done, int limit) {
    for (int k = 0; k < limit; ++k) {
        if (done()) return true;
        execz80();
        intreq = 1;
        tape_frame();
    }
    return done();
}

std::string whole_screen() {
    std::string text;
    for (int row = 0; row < 24; ++row) text += trimmed(screen_row(row)) + "\n";
    return text;
}

// Resets, types LOAD "" and plays the tape to its end, then lets the program run.
void autoload(const bytes &image, const char *file_name) {
    std::string error;
    ASSERT_TRUE(boot_rom(1, error)) << error;
    fresh_deck();
    const tape_result r = insert_named_tape(image.data(), image.size(), "test tape", file_name);
    ASSERT_TRUE(r.ok) << r.caption << ": " << r.text;
    start_autoload();
    ASSERT_TRUE(run_until([] { return !typing_running() && !deck.playing; }, 20000)) << tape_percent() << "%";
    run_frames(100);
}

// Files of one format refused with their captions, the deck left as it was.
struct named_refusal {
    const char *name;
    bytes data;
    const char *caption;
};
void expect_refused(const std::vector<named_refusal> &cases, const char *file_name) {
    const std::string kept = deck.name;
    const uint64_t length = deck.tape.length;
    for (const named_refusal &c : cases) {
        const tape_result r = insert_named_tape(c.data.data(), c.data.size(), c.name, file_name);
        EXPECT_FALSE(r.ok) << c.name;
        EXPECT_EQ(r.caption, c.caption) << c.name << ": " << r.text;
        EXPECT_EQ(deck.name, kept) << c.name;
        EXPECT_EQ(deck.tape.length, length) << c.name;
    }
}

const char listing[] = "10 PRINT \"HELLO TAPE\"\n20 PRINT 6*7\n";

TEST(TapeLoad, RomLoadsZmakebasTapeInEveryTzxForm) {
    if (!have(ZMAKEBAS_PROGRAM)) GTEST_SKIP() << "zmakebas is not installed";
    const bytes tap = zmakebas(listing, "-a 10 -n hello");
    ASSERT_FALSE(tap.empty());
    struct variant {
        const char *name;
        bool tzx;
        form f;
    };
    for (const variant &v : {variant{"tap", false, form::standard}, variant{"tzx standard", true, form::standard},
                             variant{"tzx turbo", true, form::turbo},
                             variant{"tzx tone, pulses, data", true, form::tone_pulses_data},
                             variant{"tzx direct recording", true, form::direct}}) {
        autoload(v.tzx ? as_tzx(tap, v.f) : tap, v.tzx ? "t.tzx" : "t.tap");
        // Below the ROM's "Program: hello", the program's own lines.
        EXPECT_NE(whole_screen().find("hello\nHELLO TAPE\n42\n"), std::string::npos) << v.name << "\n"
                                                                                    << whole_screen();
    }
}

// A call sequence (0x26) that plays the header block, then the data block,
// each up to its return (0x27), placed after a jump over them to the end.
TEST(TapeLoad, RomLoadsThroughACallSequence) {
    if (!have(ZMAKEBAS_PROGRAM)) GTEST_SKIP() << "zmakebas is not installed";
    const std::vector<bytes> blocks = tap_blocks(zmakebas(listing, "-a 10 -n hello"));
    ASSERT_EQ(blocks.size(), 2u);
    bytes t = tzx_header();
    t.insert(t.end(), {0x26, 2, 0, 2, 0, 4, 0});  // block 0: call blocks 2 and 4
    t.insert(t.end(), {0x23, 5, 0});              // block 1: to the end
    append_block(t, blocks[0], form::standard);   // block 2
    t.push_back(0x27);                            // block 3
    append_block(t, blocks[1], form::standard);   // block 4
    t.push_back(0x27);                            // block 5
    autoload(t, "t.tzx");
    EXPECT_EQ(deck.tape.blocks, 2);
    EXPECT_NE(whole_screen().find("hello\nHELLO TAPE\n42\n"), std::string::npos) << whole_screen();
}

// A select block (0x28) stops the deck and offers its parts; the part chosen
// plays on from its block, here the program's, past a tone of another part.
TEST(TapeLoad, SelectBlockPlaysThePartChosen) {
    if (!have(ZMAKEBAS_PROGRAM)) GTEST_SKIP() << "zmakebas is not installed";
    const std::vector<bytes> blocks = tap_blocks(zmakebas(listing, "-a 10 -n hello"));
    ASSERT_EQ(blocks.size(), 2u);
    bytes t = tzx_header();
    t.insert(t.end(), {0x28, 15, 0, 2, 1, 0, 4, 'T', 'o', 'n', 'e', 3, 0, 4, 'H', 'e', 'l', 'o'});  // block 0
    t.insert(t.end(), {0x12, 0x10, 0, 4, 0});     // block 1
    t.insert(t.end(), {0x23, 3, 0});              // block 2: to the end
    append_block(t, blocks[0], form::standard);   // block 3
    append_block(t, blocks[1], form::standard);   // block 4
    std::string error;
    ASSERT_TRUE(boot_rom(1, error)) << error;
    fresh_deck();
    const tape_result r = insert_tape_bytes(t.data(), t.size(), "select", true);
    ASSERT_TRUE(r.ok) << r.text;
    start_autoload();
    ASSERT_TRUE(run_until([] { return tape_select_due() != nullptr; }, 2000));
    EXPECT_EQ(tape_select_due()->texts, (std::vector<std::string>{"Tone", "Helo"}));
    run_frames(100);  // the loader waits; the deck waits for the choice
    ASSERT_NE(tape_select_due(), nullptr);
    tape_choose(1);
    ASSERT_TRUE(run_until([] { return !typing_running() && !deck.playing; }, 20000)) << tape_percent() << "%";
    run_frames(100);
    EXPECT_NE(whole_screen().find("hello\nHELLO TAPE\n42\n"), std::string::npos) << whole_screen();
}

// A .csw recording made by tapeconv (version 2, Z-RLE), and the same pulses
// as version 2 RLE and version 1 RLE: each loads, and the recording plays
// exactly as long as its samples at its rate, no T-state lost to rounding.
TEST(TapeLoad, RomLoadsTapeconvCswRecordings) {
    if (!have(ZMAKEBAS_PROGRAM) || !have(TAPECONV_PROGRAM)) GTEST_SKIP() << "zmakebas or tapeconv is not installed";
    const bytes tap = zmakebas(listing, "-a 10 -n hello");
    const std::string dir = scratch_dir();
    const bytes zrle = tool_tape(std::string(TAPECONV_PROGRAM) + " " + dir + "/prog.tap " + dir + "/prog.csw", dir + "/prog.csw");
    ASSERT_GT(zrle.size(), 0x34u);
    ASSERT_EQ(zrle[0x17], 2);
    ASSERT_EQ(zrle[0x21], 2);
    bytes rle(16 << 20);
    uLongf got = uLongf(rle.size());
    const std::size_t data_at = 0x34 + zrle[0x23];
    ASSERT_EQ(uncompress(rle.data(), &got, zrle.data() + data_at, uLong(zrle.size() - data_at)), Z_OK);
    rle.resize(got);
    bytes v2(zrle.begin(), zrle.begin() + long(data_at));
    v2[0x21] = 1;
    v2.insert(v2.end(), rle.begin(), rle.end());
    bytes v1(zrle.begin(), zrle.begin() + 0x20);
    v1[0x17] = 1;
    v1[0x18] = 1;
    v1[0x19] = zrle[0x19];
    v1[0x1A] = zrle[0x1A];
    v1[0x1B] = 1;
    v1[0x1C] = zrle[0x22];
    v1[0x1D] = v1[0x1E] = v1[0x1F] = 0;
    v1.insert(v1.end(), rle.begin(), rle.end());
    uint64_t samples = 0;
    for (std::size_t at = 0; at < rle.size(); ++at) {
        samples += rle[at] ? rle[at] : rle[at + 1] | rle[at + 2] << 8 | rle[at + 3] << 16 | uint32_t(rle[at + 4]) << 24;
        if (!rle[at]) at += 4;
    }
    const uint32_t rate = zrle[0x19] | zrle[0x1A] << 8 | zrle[0x1B] << 16 | uint32_t(zrle[0x1C]) << 24;
    for (const auto &[name, csw] : {std::pair<const char *, const bytes *>{"v2 Z-RLE", &zrle}, {"v2 RLE", &v2}, {"v1 RLE", &v1}}) {
        autoload(*csw, "t.csw");
        EXPECT_EQ(deck.tape.length, samples * 3500000 / rate) << name;
        EXPECT_NE(whole_screen().find("hello\nHELLO TAPE\n42\n"), std::string::npos) << name << "\n" << whole_screen();
    }
    // The same pulses in a TZX CSW recording block (0x18), RLE and Z-RLE.
    for (const auto &[name, packing, pulses] :
         {std::tuple<const char *, uint8_t, bytes>{"tzx 0x18 RLE", 1, rle},
          {"tzx 0x18 Z-RLE", 2, bytes(zrle.begin() + long(data_at), zrle.end())}}) {
        bytes t = tzx_header();
        t.push_back(0x18);
        const uint32_t length = uint32_t(10 + pulses.size());
        put16(t, length & 0xFFFF);
        put16(t, length >> 16);
        put16(t, 1000);
        put24(t, rate);
        t.push_back(packing);
        put16(t, 0);  // the count of pulses, not needed to play them
        put16(t, 0);
        t.insert(t.end(), pulses.begin(), pulses.end());
        autoload(t, "t.tzx");
        EXPECT_EQ(deck.tape.length, samples * 3500000 / rate + 3500000) << name;
        EXPECT_NE(whole_screen().find("hello\nHELLO TAPE\n42\n"), std::string::npos) << name << "\n" << whole_screen();
    }
    // Damaged and unsupported recordings leave the deck as it was.
    const auto changed = [&](std::size_t at, uint8_t value) {
        bytes b = v2;
        b[at] = value;
        return b;
    };
    expect_refused({
        {"Z-RLE cut short", bytes(zrle.begin(), zrle.end() - 20), "Damaged Tape"},
        {"Z-RLE flipped", [&] { bytes b = zrle; b[data_at + 8] ^= 0xFF; return b; }(), "Damaged Tape"},
        {"RLE ends in a long count", [&] { bytes b = v2; b.insert(b.end(), {0, 1, 2}); return b; }(), "Damaged Tape"},
        {"rate 0", [&] { bytes b = changed(0x19, 0); b[0x1A] = 0; return b; }(), "Damaged Tape"},
        {"header cut", bytes(v2.begin(), v2.begin() + 0x30), "Damaged Tape"},
        {"version 3", changed(0x17, 3), "Unsupported Tape"},
        {"packing 7", changed(0x21, 7), "Unsupported Tape"},
        {"Z-RLE in version 1", [&] { bytes b = v1; b[0x1B] = 2; return b; }(), "Unsupported Tape"},
    }, "t.csw");
}

// The blocks of a .tap as a .pzx at the ROM's timings: the pilot and syncs
// as pulses (the pilot one repeated entry), the bytes as data with two pulses
// a bit and a tail pulse that ends the last one, then a second's pause.
bytes as_pzx(const bytes &tap) {
    bytes t;
    const auto block = [&](const char *tag, const bytes &body) {
        t.insert(t.end(), tag, tag + 4);
        put16(t, uint32_t(body.size()) & 0xFFFF);
        put16(t, uint32_t(body.size()) >> 16);
        t.insert(t.end(), body.begin(), body.end());
    };
    block("PZXT", {1, 0});
    for (const bytes &b : tap_blocks(tap)) {
        bytes pulses;
        put16(pulses, 0x8000 | (b[0] < 0x80 ? 8063 : 3223));
        put16(pulses, 2168);
        put16(pulses, 667);
        put16(pulses, 735);
        block("PULS", pulses);
        bytes data;
        const uint32_t bits = uint32_t(b.size()) * 8;
        put16(data, bits & 0xFFFF);
        put16(data, bits >> 16 | 0x8000);  // an odd count of pulses came before: the first is high
        put16(data, 945);
        data.push_back(2);
        data.push_back(2);
        for (uint32_t t : {855, 855, 1710, 1710}) put16(data, t);
        data.insert(data.end(), b.begin(), b.end());
        block("DATA", data);
        block("BRWS", {'b', 0});
        block("PAUS", {0xE0, 0x67, 0x35, 0x00});  // 3,500,000 T-states, low
    }
    return t;
}

TEST(TapeLoad, RomLoadsPzxBuiltFromATap) {
    if (!have(ZMAKEBAS_PROGRAM)) GTEST_SKIP() << "zmakebas is not installed";
    const bytes tap = zmakebas(listing, "-a 10 -n hello");
    const bytes pzx = as_pzx(tap);
    autoload(pzx, "t.pzx");
    EXPECT_EQ(deck.tape.blocks, 2);
    EXPECT_NE(whole_screen().find("hello\nHELLO TAPE\n42\n"), std::string::npos) << whole_screen();
    expect_refused({
        {"cut inside a block", bytes(pzx.begin(), pzx.end() - 3), "Damaged Tape"},
        {"no header first", bytes(pzx.begin() + 10, pzx.end()), "Damaged Tape"},
        {"data longer than its block", [&] { bytes b = pzx; b[10 + 8 + 8 + 8] = 0xFF; return b; }(), "Damaged Tape"},
        {"version 2", [&] { bytes b = pzx; b[8] = 2; return b; }(), "Unsupported Tape"},
        {"pulses cut inside a count", {'P', 'Z', 'X', 'T', 2, 0, 0, 0, 1, 0, 'P', 'U', 'L', 'S', 2, 0, 0, 0, 0x01, 0x80},
         "Damaged Tape"},
    }, "t.pzx");
}

// The tape browser's list: each block as a user reads it, in playing order,
// from .tzx, .tap and .pzx alike; choosing one puts the head at its start.
TEST(TapeBrowser, ListsBlocksAsAUserReadsThemAndMovesTheHead) {
    if (!have(ZMAKEBAS_PROGRAM)) GTEST_SKIP() << "zmakebas is not installed";
    const bytes tap = zmakebas(listing, "-a 10 -n hello");
    const std::vector<bytes> blocks = tap_blocks(tap);
    ASSERT_EQ(blocks.size(), 2u);
    const std::string data = "Data " + std::to_string(blocks[1].size() - 2) + " bytes";
    bytes tzx = tzx_header();
    tzx.insert(tzx.end(), {0x30, 2, 'h', 'i'});
    append_block(tzx, blocks[0], form::standard);
    tzx.insert(tzx.end(), {0x20, 0xDC, 0x05});
    append_block(tzx, blocks[1], form::turbo);
    const auto texts = [] {
        std::vector<std::string> out;
        for (const tape_mark &m : deck.tape.marks) out.push_back(std::to_string(m.number) + " " + m.text);
        return out;
    };
    fresh_deck();
    ASSERT_TRUE(insert_tape_bytes(tzx.data(), tzx.size(), "browse.tzx", true).ok);
    EXPECT_EQ(texts(), (std::vector<std::string>{"1 Text: hi", "2 Program: hello", "3 Pause 1.5 s",
                                                 "4 Turbo " + std::string("data ") + data.substr(5)}));
    for (const std::size_t k : {std::size_t(3), std::size_t(1), std::size_t(2)}) {
        tape_seek(k);
        EXPECT_EQ(tape_mark_now(), k);
        EXPECT_EQ(deck.played + deck.tape.spans[deck.pos].length - deck.left, deck.tape.marks[k].at) << k;
    }
    ASSERT_TRUE(insert_tape_bytes(tap.data(), tap.size(), "browse.tap", false).ok);
    EXPECT_EQ(texts(), (std::vector<std::string>{"1 Program: hello", "2 " + data}));
    const bytes pzx = as_pzx(tap);
    ASSERT_TRUE(insert_named_tape(pzx.data(), pzx.size(), "browse.pzx", "browse.pzx").ok);
    EXPECT_EQ(texts(), (std::vector<std::string>{"3 Program: hello", "4 Browse point: b", "7 " + data,
                                                 "8 Browse point: b"}));
    EXPECT_EQ(deck.tape.marks[0].at, 0u);  // from the pilot on
}

TEST(TapeLoad, RomLoadsPasmoCodeWithItsBasicLoader) {
    if (!have(PASMO_PROGRAM)) GTEST_SKIP() << "pasmo is not installed";
    // Copies the ROM's glyphs of a message to the top line of the screen.
    const char source[] =
        "        org 32768\n"
        "start:  ld de,4000h\n"
        "        ld hl,msg\n"
        "next:   ld a,(hl)\n"
        "        or a\n"
        "        ret z\n"
        "        push hl\n"
        "        ld l,a\n"
        "        ld h,0\n"
        "        add hl,hl\n"
        "        add hl,hl\n"
        "        add hl,hl\n"
        "        ld bc,3D00h-100h\n"
        "        add hl,bc\n"
        "        push de\n"
        "        ld b,8\n"
        "line:   ld a,(hl)\n"
        "        ld (de),a\n"
        "        inc hl\n"
        "        inc d\n"
        "        djnz line\n"
        "        pop de\n"
        "        inc e\n"
        "        pop hl\n"
        "        inc hl\n"
        "        jr next\n"
        "msg:    defb \"CODE FROM PASMO\",0\n"
        "        end start\n";
    const std::string dir = scratch_dir();
    FILE *f = std::fopen((dir + "/code.asm").c_str(), "w");
    std::fputs(source, f);
    std::fclose(f);
    const bytes tap = tool_tape(std::string(PASMO_PROGRAM) + " --tapbas " + dir + "/code.asm " + dir + "/code.tap",
                                dir + "/code.tap");
    ASSERT_FALSE(tap.empty());
    autoload(tap, "t.tap");
    EXPECT_EQ(trimmed(screen_row(0)), "CODE FROM PASMO") << whole_screen();
}

// A loader of its own, for a turbo block at twice the ROM's speed (zero
// 400, one 800 T-states a pulse). It counts 52 T-state sampling loops per
// edge, takes 64 long pilot pulses and a short sync pulse, then two edges a
// bit, and loads BC bytes to IX: here straight into screen memory.
const char turbo_loader[] =
    "        org 32768\n"
    "start:  di\n"
    "        ld ix,4000h\n"
    "        ld bc,0720h\n"
    "        ld a,7Fh\n"
    "        in a,(0FEh)\n"
    "        and 40h\n"
    "        ld d,a\n"
    "seek:   ld h,0\n"
    "tone:   ld e,0\n"
    "        call edge\n"
    "        jr c,seek\n"
    "        ld a,e\n"
    "        cp 16\n"
    "        jr c,short\n"
    "        inc h\n"
    "        jr nz,tone\n"
    "        dec h\n"
    "        jr tone\n"
    "short:  ld a,h\n"
    "        cp 64\n"
    "        jr c,seek\n"
    "        ld e,0\n"
    "        call edge\n"
    "byte:   ld l,1\n"
    "getbit: ld e,0\n"
    "        call edge\n"
    "        call edge\n"
    "        ld a,e\n"
    "        cp 23\n"
    "        ccf\n"
    "        rl l\n"
    "        jr nc,getbit\n"
    "        ld (ix+0),l\n"
    "        inc ix\n"
    "        dec bc\n"
    "        ld a,b\n"
    "        or c\n"
    "        jr nz,byte\n"
    "        ei\n"
    "        ret\n"
    "edge:   inc e\n"
    "        scf\n"
    "        ret z\n"
    "        ld a,7Fh\n"
    "        in a,(0FEh)\n"
    "        xor d\n"
    "        and 40h\n"
    "        jr z,edge\n"
    "        ld a,d\n"
    "        xor 40h\n"
    "        ld d,a\n"
    "        ret\n"
    "        end start\n";

TEST(TapeLoad, PasmoLoaderReadsTurboBlockAtTwiceTheRomSpeed) {
    if (!have(PASMO_PROGRAM)) GTEST_SKIP() << "pasmo is not installed";
    const std::string dir = scratch_dir();
    FILE *f = std::fopen((dir + "/turbo.asm").c_str(), "w");
    std::fputs(turbo_loader, f);
    std::fclose(f);
    const bytes loader = tool_tape(std::string(PASMO_PROGRAM) + " --tapbas " + dir + "/turbo.asm " + dir +
                                       "/turbo.tap",
                                   dir + "/turbo.tap");
    ASSERT_FALSE(loader.empty());
    // The ROM loads the loader; the loader reads a picture of the message's
    // glyphs in screen order (pixel line k of column c at k * 256 + c).
    std::string error;
    ASSERT_TRUE(loadrom_file(BRENVIK_DEFAULT_ROM, error)) << error;
    const std::string message = "TURBO LOADER OK";
    bytes picture(0x720);
    for (std::size_t c = 0; c < message.size(); ++c)
        for (int k = 0; k < 8; ++k) picture[k * 256 + c] = lorom[0x3D00 + (message[c] - 0x20) * 8 + k];
    bytes t = as_tzx(loader, form::standard);
    t.push_back(0x11);
    for (uint32_t v : {1200u, 400u, 400u, 400u, 800u, 1000u}) put16(t, v);
    t.push_back(8);
    put16(t, 1000);
    put24(t, uint32_t(picture.size()));
    t.insert(t.end(), picture.begin(), picture.end());
    autoload(t, "t.tzx");
    EXPECT_EQ(trimmed(screen_row(0)), message) << whole_screen();
}

TEST(TapeSave, RomSaveRecordsWhatZmakebasMakesAndLoadsBack) {
    if (!have(ZMAKEBAS_PROGRAM)) GTEST_SKIP() << "zmakebas is not installed";
    const bytes tap = zmakebas(listing, "-n hello");  // no autostart: LOAD leaves it listed
    ASSERT_FALSE(tap.empty());
    autoload(tap, "t.tap");
    set_recording(true);
    start_typing("save \"hello\"\n", 0, false);
    ASSERT_TRUE(run_until([] { return !typing_running(); }, 1000));
    // "Start tape, then press any key."
    start_typing(" ", 10, false);
    ASSERT_TRUE(run_until([] { return recorded_blocks.size() == 2; }, 2000)) << whole_screen();
    set_recording(false);
    EXPECT_TRUE(recording_unsaved);
    // The program is the same byte for byte. The headers agree but for the
    // low byte of the start line, which the ROM leaves as it finds it when
    // no LINE is given (so the checksum differs too).
    const std::vector<bytes> made = tap_blocks(tap), saved_blocks = tap_blocks(recording_as_tap());
    ASSERT_EQ(saved_blocks.size(), 2u);
    EXPECT_EQ(saved_blocks[1], made[1]);
    bytes header = saved_blocks[0];
    ASSERT_EQ(header.size(), 19u);
    header[14] = made[0][14];
    header[18] = made[0][18];
    EXPECT_EQ(header, made[0]);

    // The recording, loaded back, lists and runs the program.
    const bytes saved = recording_as_tap();
    autoload(saved, "t.tap");
    start_typing("run\n", 0, false);
    run_until([] { return !typing_running(); }, 1000);
    run_frames(50);
    EXPECT_NE(whole_screen().find("HELLO TAPE\n42\n"), std::string::npos) << whole_screen();
}

// Files the readers must refuse, with the deck left as it was.
struct refusal {
    const char *name;
    bool tzx;
    bytes data;
    const char *caption;
};

bytes tzx_with(bytes blocks) {
    const bytes header = tzx_header();
    blocks.insert(blocks.begin(), header.begin(), header.end());
    return blocks;
}

TEST(TapeReader, RefusesDamagedAndUnsupportedFilesWithoutTouchingTheDeck) {
    const refusal cases[] = {
        {"tap cut inside a block", false, {5, 0, 0xFF, 1, 2}, "Damaged Tape"},
        {"tap cut inside a length", false, {2, 0, 0xFF, 1, 7}, "Damaged Tape"},
        {"empty tap", false, {}, "Damaged Tape"},
        {"no signature", true, {'Z', 'X', 'T', 'a', 'p', 'e', '?', 0x1A, 1, 20}, "Damaged Tape"},
        {"version 2", true, {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 2, 0}, "Unsupported Tape"},
        {"standard block cut", true, tzx_with({0x10, 0xE8, 0x03, 5, 0, 0xFF}), "Damaged Tape"},
        {"turbo with 9 bits", true,
         tzx_with({0x11, 0, 8, 0, 2, 0, 2, 0, 3, 0, 6, 0, 1, 9, 0, 0, 1, 0, 0, 0xFF}), "Damaged Tape"},
        {"jump past the end", true, tzx_with({0x23, 5, 0}), "Damaged Tape"},
        {"jump to itself", true, tzx_with({0x23, 0, 0}), "Damaged Tape"},
        {"loop never ended", true, tzx_with({0x24, 2, 0, 0x12, 0x10, 0, 4, 0}), "Damaged Tape"},
        {"loop end alone", true, tzx_with({0x25}), "Damaged Tape"},
        {"nested loop", true, tzx_with({0x24, 2, 0, 0x24, 2, 0, 0x25, 0x25}), "Unsupported Tape"},
        {"endless jumps", true, tzx_with({0x12, 0x10, 0, 4, 0, 0x23, 0xFF, 0xFF}), "Unsupported Tape"},
        {"CSW block without its header", true, tzx_with({0x18, 0, 0, 0, 0}), "Damaged Tape"},
        {"CSW block at rate 0", true, tzx_with({0x18, 11, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 9}), "Damaged Tape"},
        {"CSW block cut in a count", true, tzx_with({0x18, 12, 0, 0, 0, 0, 0, 0x44, 0xAC, 0, 1, 1, 0, 0, 0, 0, 1}),
         "Damaged Tape"},
        {"call past the end", true, tzx_with({0x26, 1, 0, 5, 0, 0x27}), "Damaged Tape"},
        {"select past the end", true, tzx_with({0x28, 5, 0, 1, 9, 0, 1, 'a'}), "Damaged Tape"},
        {"select cut in a part", true, tzx_with({0x28, 5, 0, 1, 1, 0, 9, 'a'}), "Damaged Tape"},
        {"only text", true, tzx_with({0x30, 2, 'h', 'i'}), "Damaged Tape"},
        {"unknown block too long", true, tzx_with({0x4F, 9, 0, 0, 0, 1}), "Damaged Tape"},
    };
    fresh_deck();
    const bytes good = {3, 0, 0xFF, 0x55, 0xAA};
    ASSERT_TRUE(insert_tape_bytes(good.data(), good.size(), "good", false).ok);
    const uint64_t length = deck.tape.length;
    for (const refusal &c : cases) {
        const tape_result r = insert_tape_bytes(c.data.data(), c.data.size(), c.name, c.tzx);
        EXPECT_FALSE(r.ok) << c.name;
        EXPECT_EQ(r.caption, c.caption) << c.name << ": " << r.text;
        EXPECT_EQ(deck.tape.length, length) << c.name;
        EXPECT_EQ(deck.name, "good") << c.name;
    }
    const tape_result missing = insert_tape("/nonexistent/tape.tap");
    EXPECT_EQ(missing.caption, "Not Found");
}

// A tape is told by its extension, or by the TZX signature when the name has
// no extension a tape or snapshot has; a named snapshot stays a snapshot.
TEST(TapeReader, TapeKnownByExtensionOrSignature) {
    const bytes tzx = tzx_with({0x12, 0x10, 0, 4, 0});
    const bytes other = {'N', 'O', 'T', ' ', 'T', 'A', 'P', 'E', 0, 0};
    struct named {
        const char *name;
        const bytes *data;
        bool tape;
    };
    for (const named &c : {named{"game", &tzx, true}, named{"game.bin", &tzx, true}, named{"GAME.TZX", &other, true},
                           named{"game.tap", &other, true}, named{"game.sna", &tzx, false},
                           named{"game.Z80", &tzx, false}, named{"game", &other, false}}) {
        const std::string path = scratch_dir() + "/" + c.name;
        std::string reason;
        ASSERT_TRUE(write_file_atomically(path, c.data->data(), c.data->size(), reason)) << reason;
        EXPECT_EQ(is_tape_file(path), c.tape) << c.name;
        std::remove(path.c_str());
    }
    EXPECT_FALSE(is_tape_file(scratch_dir() + "/missing"));
}

// The hardware block's entries (kind 0: computers; machine; how the tape
// stands to it) tell a tape for the 128K, which is still taken and played.
TEST(TapeReader, HardwareBlockTellsA128kTape) {
    const struct {
        const char *name;
        bytes entries;
        bool for_128k;
    } cases[] = {
        {"no hardware block", {}, false},
        {"runs on the 48K", {0, 1, 0}, false},
        {"uses the 128K's hardware", {0, 3, 1}, true},
        {"uses the +2A's, runs on the 48K", {0, 5, 1, 0, 1, 2}, false},
        {"does not run on the 48K", {0, 1, 3}, true},
        {"uses a joystick, not a machine", {1, 3, 1}, false},
    };
    for (const auto &c : cases) {
        bytes t = tzx_header();
        if (!c.entries.empty()) {
            t.push_back(0x33);
            t.push_back(uint8_t(c.entries.size() / 3));
            t.insert(t.end(), c.entries.begin(), c.entries.end());
        }
        t.insert(t.end(), {0x12, 0x10, 0, 4, 0});
        const tape_result r = insert_tape_bytes(t.data(), t.size(), c.name, true);
        ASSERT_TRUE(r.ok) << c.name << ": " << r.text;
        EXPECT_EQ(deck.tape.for_128k, c.for_128k) << c.name;
        EXPECT_EQ(deck.tape.length, 4u * 16) << c.name;  // played all the same
    }
}

// Control blocks: the tape's played length and where the deck stops.
TEST(TapeReader, ControlBlocksShapeTheSignal) {
    struct shaped {
        const char *name;
        bytes blocks;
        uint64_t length;  // T-states
        int stops;
    };
    const shaped cases[] = {
        {"tone", {0x12, 100, 0, 10, 0}, 1000, 0},
        {"loop of three tones", {0x24, 3, 0, 0x12, 100, 0, 10, 0, 0x25}, 3000, 0},
        {"jump over a tone", {0x23, 2, 0, 0x12, 100, 0, 10, 0, 0x12, 50, 0, 2, 0}, 100, 0},
        {"pause and stop", {0x12, 100, 0, 1, 0, 0x20, 2, 0, 0x20, 0, 0, 0x12, 100, 0, 1, 0}, 7200, 1},
        {"stop in 48K mode, text, glue, archive info",
         {0x12, 100, 0, 1, 0, 0x2A, 0, 0, 0, 0, 0x30, 1, 'x', 0x5A, 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20,
          0x32, 1, 0, 0, 0x12, 100, 0, 1, 0},
         200, 1},
        {"unknown block skipped", {0x4F, 2, 0, 0, 0, 7, 7, 0x12, 100, 0, 1, 0}, 100, 0},
        {"generalized data: 2 pilot pulses, 8 data symbols",
         {0x19, 27, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 1, 8, 0, 0, 0, 1, 2,  // header
          0, 50, 0,                                                   // pilot symbol 0: one 50 T pulse
          0, 2, 0,                                                    // pilot stream: symbol 0 twice
          0, 10, 0, 0, 20, 0,                                         // data symbols 0 and 1
          0xA5},
         100 + 4 * 10 + 4 * 20, 0},
    };
    for (const shaped &c : cases) {
        tape_image image;
        const bytes t = tzx_with(c.blocks);
        const tape_result r = read_tzx(t.data(), t.size(), c.name, image);
        ASSERT_TRUE(r.ok) << c.name << ": " << r.text;
        EXPECT_EQ(image.length, c.length) << c.name;
        int stops = 0;
        for (const tape_span &s : image.spans) stops += s.stop;
        EXPECT_EQ(stops, c.stops) << c.name;
    }
}

// A stop block stops the deck at its place; play goes on after it.
TEST(TapeDeck, StopsAtStopBlockAndPlaysOn) {
    z80_fresh();
    fresh_deck();
    const bytes t = tzx_with({0x12, 100, 0, 4, 0, 0x20, 0, 0, 0x12, 100, 0, 4, 0});
    ASSERT_TRUE(insert_tape_bytes(t.data(), t.size(), "stops", true).ok);
    tape_play();
    ASSERT_TRUE(run_until([] { return !deck.playing; }, 10));
    EXPECT_EQ(tape_percent(), 50);
    tape_play();
    ASSERT_TRUE(run_until([] { return !deck.playing; }, 10));
    EXPECT_EQ(tape_percent(), 100);
    tape_rewind();
    EXPECT_EQ(tape_percent(), 0);
}

}  // namespace

namespace {

// The length limit is one of playing time and pulses, measured before the
// tape is built: a few bytes that loop for weeks are refused at once, and a
// long tape of real programs is taken.
TEST(TapeReader, LimitsPlayingTimeNotFileShape) {
    bytes long_tap;
    for (int block = 0; block < 7; ++block) {
        const std::size_t n = block < 6 ? 65535 : 5000;  // all ones: 3420 T-states a bit
        long_tap.push_back(uint8_t(n));
        long_tap.push_back(uint8_t(n >> 8));
        long_tap.insert(long_tap.end(), n, 0xFF);
    }
    bytes many_pulses = {0x24, 0xFF, 0xFF, 0x13, 0xFF};  // 65535 times 255 pulses of 1 T-state
    for (int k = 0; k < 255; ++k) many_pulses.insert(many_pulses.end(), {1, 0});
    many_pulses.push_back(0x25);
    struct sized {
        const char *name;
        bool tzx;
        bytes data;
        bool taken;
        uint64_t at_least;  // T-states, when taken
    };
    const sized cases[] = {
        {"49 days of pauses in a loop", true, tzx_with({0x24, 0xFF, 0xFF, 0x20, 0xFF, 0xFF, 0x25}), false, 0},
        {"4 billion 1 T pulses in a loop", true, tzx_with({0x24, 0xFF, 0xFF, 0x12, 1, 0, 0xFF, 0xFF, 0x25}), false, 0},
        {"4 billion empty symbols", true,
         tzx_with({0x19, 17, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 1, 1, 0, 0, 0}), false, 0},
        {"16 million pulses in 520 bytes", true, tzx_with(many_pulses), false, 0},
        {"ten minutes of pilot tone in a loop", true, tzx_with({0x24, 15, 0, 0x12, 0x78, 0x08, 0xFF, 0xFF, 0x25}),
         true, uint64_t(10 * 60) * 3500000},
        {"52 minutes of .tap", false, long_tap, true, uint64_t(52 * 60) * 3500000},
    };
    for (const sized &c : cases) {
        tape_image image;
        const tape_result r = c.tzx ? read_tzx(c.data.data(), c.data.size(), c.name, image)
                                    : read_tap(c.data.data(), c.data.size(), c.name, image);
        EXPECT_EQ(r.ok, c.taken) << c.name << ": " << r.text;
        if (r.ok) {
            EXPECT_GT(image.length, c.at_least) << c.name;
        } else {
            EXPECT_EQ(r.caption, "Unsupported Tape") << c.name << ": " << r.text;
        }
    }
}

}  // namespace

namespace {

// Machine code assembled by pasmo: the bytes of source (org'd as it says).
bytes assemble(const std::string &source) {
    const std::string dir = scratch_dir();
    FILE *f = std::fopen((dir + "/part.asm").c_str(), "w");
    std::fputs(source.c_str(), f);
    std::fclose(f);
    return tool_tape(std::string(PASMO_PROGRAM) + " " + dir + "/part.asm " + dir + "/part.bin", dir + "/part.bin");
}

// Everything the program can see: registers, memory, the clock.
struct machine_view {
    uint16_t regs[14];
    int32_t iff1, im;
    int64_t clock;
    bytes memory;
    bool operator==(const machine_view &o) const {
        return std::equal(regs, regs + 14, o.regs) && iff1 == o.iff1 && im == o.im && clock == o.clock &&
               memory == o.memory;
    }
};

machine_view view() {
    return {{af.w, bc.w, de.w, hl.w, ix.w, iy.w, ir.w, saf.w, sbc.w, sde.w, shl.w, sp, pc, uint16_t(cycles)},
            iff1,
            im,
            tape_now(),
            bytes(ram + 0x4000, ram + ram_size)};
}

// The ROM's edge-waiting loop made in one step leaves the machine exactly as
// running it turn by turn, at the first instruction of the loaded code.
TEST(TapeDeck, EdgeWaitsInOneStepAsRunning) {
    if (!have(PASMO_PROGRAM)) GTEST_SKIP() << "pasmo is not installed";
    const std::string dir = scratch_dir();
    FILE *f = std::fopen((dir + "/stay.asm").c_str(), "w");
    std::fputs("        org 32768\nstart:  di\nstay:   jr stay\n        ds 6000,0A5h\n        end start\n", f);
    std::fclose(f);
    const bytes tap = tool_tape(std::string(PASMO_PROGRAM) + " --tapbas " + dir + "/stay.asm " + dir + "/stay.tap",
                                dir + "/stay.tap");
    ASSERT_FALSE(tap.empty());
    machine_view seen[2];
    long frames[2] = {0, 0};
    for (int skip = 0; skip < 2; ++skip) {
        tape_skip_edge_waits = skip == 1;
        std::string error;
        ASSERT_TRUE(boot_rom(1, error)) << error;
        fresh_deck();
        ASSERT_TRUE(insert_tape_bytes(tap.data(), tap.size(), "stay", false).ok);
        start_autoload();
        const int64_t start = tape_now();
        ASSERT_TRUE(run_until(
            [&] {
                ++frames[skip];
                return pc == 32769 || pc == 32770;
            },
            20000));
        seen[skip] = view();
        seen[skip].clock -= start;
    }
    tape_skip_edge_waits = true;
    EXPECT_EQ(frames[0], frames[1]);
    EXPECT_TRUE(seen[0] == seen[1]) << "pc " << seen[0].regs[12] << " and " << seen[1].regs[12] << ", clock "
                                    << seen[0].clock << " and " << seen[1].clock;
}

// A loader follows the EAR bit; a key-wait loop reads the port as often but
// tests the keys. Only the first starts the deck (auto-play) and loads fast;
// the second sees its key in the next frame.
TEST(TapeDeck, TellsALoaderFromAKeyWait) {
    if (!have(PASMO_PROGRAM)) GTEST_SKIP() << "pasmo is not installed";
    struct program {
        const char *name;
        const char *loop;  // from wait:, DI already done; ends by going on to done:
        bool loader;
    };
    const program cases[] = {
        {"key wait on every half-row", "wait: xor a\n in a,(0FEh)\n cpl\n and 1Fh\n jr z,wait\n", false},
        {"SPACE wait", "wait: ld a,7Fh\n in a,(0FEh)\n rra\n jr c,wait\n", false},
        {"edge follower", "wait: ld c,0\nedge: ld a,7Fh\n in a,(0FEh)\n rra\n xor c\n and 20h\n jr z,edge\n jr wait\n",
         true},
        {"edge follower on BIT 6", "wait: in a,(0FEh)\n bit 6,a\n jr z,wait\n jr wait\n", true},
    };
    const bytes tone = tzx_with({0x12, 0x78, 0x08, 0xFF, 0xFF});
    for (const program &c : cases) {
        const bytes code = assemble(std::string(" org 32768\n di\n") + c.loop + "done: ld a,1\n ld (40000),a\nstay: jr stay\n");
        ASSERT_FALSE(code.empty()) << c.name;
        z80_fresh();
        fresh_deck();
        ASSERT_TRUE(insert_tape_bytes(tone.data(), tone.size(), "tone", true).ok);
        std::copy(code.begin(), code.end(), ram + 32768);
        pc = 32768;
        run_until([] { return false; }, 10);
        EXPECT_EQ(deck.playing, c.loader) << c.name;
        EXPECT_EQ(tape_port_busy(), c.loader) << c.name;
        if (c.loader) continue;
        // The key-wait, on a playing tape: a key (A, or SPACE) is seen in the next frame.
        tape_play();
        run_until([] { return false; }, 30);
        EXPECT_FALSE(tape_port_busy()) << c.name;
        typed_keys[1] = 1;
        typed_keys[7] = 1;
        run_until([] { return false; }, 1);
        std::memset(typed_keys, 0, sizeof typed_keys);
        EXPECT_EQ(ram[40000], 1) << c.name;
    }
}

// LOAD "name" reads the header of another program, skips its data block in
// bursts a second apart (the ROM waits a second after the first edge it
// finds), and loads its own: the port stays busy (fast
// loading holds) from the typed ENTER to the program's start.
TEST(TapeDeck, LoadByNameStaysFastPastAnotherProgram) {
    if (!have(ZMAKEBAS_PROGRAM)) GTEST_SKIP() << "zmakebas is not installed";
    bytes tape = zmakebas("10 PRINT \"OTHER\"\n", "-a 10 -n other");
    const bytes mine = zmakebas("10 PRINT \"MINE\"\n", "-a 10 -n mine");
    tape.insert(tape.end(), mine.begin(), mine.end());
    std::string error;
    ASSERT_TRUE(boot_rom(1, error)) << error;
    // The 48K ROM waits a whole second (LD HL,0415h) where OpenSE waits a quarter.
    ASSERT_EQ(lorom[0x571], 0x21);
    lorom[0x572] = 0x15;
    lorom[0x573] = 0x04;
    fresh_deck();
    ASSERT_TRUE(insert_tape_bytes(tape.data(), tape.size(), "two", false).ok);
    resetz80();
    start_typing("load \"mine\"\n", 150, true);
    ASSERT_TRUE(run_until([] { return !typing_running(); }, 1000));
    int slow = 0;
    ASSERT_TRUE(run_until(
        [&] {
            slow += !tape_port_busy();
            return whole_screen().find("MINE\n") != std::string::npos;
        },
        5000))
        << whole_screen();
    EXPECT_EQ(slow, 0);
}

}  // namespace
