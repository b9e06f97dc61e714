// Snapshot loaders: files built here from a known machine state, loaded into
// a machine that holds something else, in every form the loaders accept, and
// damaged files that must leave the machine exactly as it was.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "ula/ula.h"
#include "z80_harness.h"

namespace {

using bytes = std::vector<uint8_t>;

// ---- The machine a snapshot is made of ----

struct saved_state {
    uint16_t af, bc, de, hl, ix, iy, saf, sbc, sde, shl, sp, pc;
    uint8_t i, r;
    int32_t iff1, iff2, im;
    bytes mem;  // 0x4000..0xFFFF
    uint8_t &at(uint16_t addr) { return mem[addr - 0x4000]; }
};

saved_state sample_state() {
    saved_state s{0x1234, 0x5678, 0x9ABC, 0xDEF0, 0x1357, 0x2468, 0xA1B2, 0xC3D4, 0xE5F6, 0x0718,
                  0xFF40, 0x8000, 0x3F, 0x85, 1, 1, 1, bytes(49152, 0)};
    for (int o = 0; o < 6144; ++o) s.mem[o] = uint8_t((o * 37) ^ (o >> 5));  // a picture
    for (int o = 6144; o < 6912; ++o) s.mem[o] = uint8_t(o * 13) & 0x7F;     // its colours
    // What the ED ED scheme has to keep apart: pairs, triples and a lone ED
    // before 00, the bytes of an end marker, and a lone ED ending page 8.
    const uint8_t tricky[] = {0xED, 0x12, 0xED, 0xED, 0x00, 0xED, 0xED, 0xED, 0x01, 0xED, 0x00, 0xED, 0xED, 0x00};
    std::memcpy(&s.at(0x6000), tricky, sizeof tricky);
    s.at(0x7FFF) = 0xED;
    const uint8_t program[] = {0xF3, 0x21, 0x00, 0x40, 0x34, 0x18, 0xFD};  // DI; LD HL,0x4000; INC (HL); JR -3
    std::memcpy(&s.at(0x8000), program, sizeof program);
    for (int a = 0x8100; a < 0xC000; ++a) s.at(uint16_t(a)) = uint8_t(a * 3);
    for (int a = 0xC000; a < 0xFF00; ++a) s.at(uint16_t(a)) = uint8_t(a / 300);
    return s;
}

// ---- Snapshot writers ----

void put16(bytes &f, std::size_t at, uint16_t v) {
    f[at] = uint8_t(v);
    f[at + 1] = uint8_t(v >> 8);
}

// The usual .z80 packer: runs of five or more bytes, and of two or more EDs,
// become ED ED count byte; the byte after a lone ED is always stored as is.
bytes pack(const uint8_t *m, std::size_t n) {
    bytes out;
    for (std::size_t i = 0; i < n;) {
        uint8_t v = m[i];
        std::size_t run = 1;
        while (i + run < n && m[i + run] == v && run < 255) ++run;
        if (run >= 5 || (v == 0xED && run >= 2)) {
            out.insert(out.end(), {0xED, 0xED, uint8_t(run), v});
            i += run;
        } else if (v == 0xED) {
            out.push_back(0xED);
            if (++i < n) out.push_back(m[i++]);
        } else {
            out.push_back(v);
            ++i;
        }
    }
    return out;
}

// The stack gets the program counter, as the format requires.
bytes make_sna(saved_state s) {
    s.sp = uint16_t(s.sp - 2);
    s.at(s.sp) = uint8_t(s.pc);
    s.at(uint16_t(s.sp + 1)) = uint8_t(s.pc >> 8);
    bytes f(27 + s.mem.size());
    f[0] = s.i;
    put16(f, 1, s.shl), put16(f, 3, s.sde), put16(f, 5, s.sbc), put16(f, 7, s.saf);
    put16(f, 9, s.hl), put16(f, 11, s.de), put16(f, 13, s.bc), put16(f, 15, s.iy), put16(f, 17, s.ix);
    f[19] = uint8_t(s.iff2 << 2);
    f[20] = s.r;
    f[21] = uint8_t(s.af), f[22] = uint8_t(s.af >> 8);
    put16(f, 23, s.sp);
    f[25] = uint8_t(s.im);
    f[26] = 7;  // a white border
    std::copy(s.mem.begin(), s.mem.end(), f.begin() + 27);
    return f;
}

bytes z80_header(const saved_state &s, uint16_t pc) {
    bytes f(30);
    f[0] = uint8_t(s.af >> 8), f[1] = uint8_t(s.af);
    put16(f, 2, s.bc), put16(f, 4, s.hl), put16(f, 6, pc), put16(f, 8, s.sp);
    f[10] = s.i, f[11] = s.r & 0x7F, f[12] = uint8_t(s.r >> 7 | 0x0E);  // border 7 in bits 1..3
    put16(f, 13, s.de), put16(f, 15, s.sbc), put16(f, 17, s.sde), put16(f, 19, s.shl);
    f[21] = uint8_t(s.saf >> 8), f[22] = uint8_t(s.saf);
    put16(f, 23, s.iy), put16(f, 25, s.ix);
    f[27] = uint8_t(s.iff1), f[28] = uint8_t(s.iff2), f[29] = uint8_t(s.im);
    return f;
}

bytes make_z80_v1(const saved_state &s, bool packed) {
    bytes f = z80_header(s, s.pc);
    if (!packed) {
        f.insert(f.end(), s.mem.begin(), s.mem.end());
        return f;
    }
    f[12] |= 0x20;
    bytes p = pack(s.mem.data(), s.mem.size());
    f.insert(f.end(), p.begin(), p.end());
    f.insert(f.end(), {0x00, 0xED, 0xED, 0x00});
    return f;
}

struct block {
    uint8_t page;
    bool packed;
};

void add_block(bytes &f, uint8_t page, const uint8_t *data, bool packed) {
    bytes body = packed ? pack(data, 16384) : bytes(data, data + 16384);
    uint16_t length = packed ? uint16_t(body.size()) : 0xFFFF;
    f.insert(f.end(), {uint8_t(length), uint8_t(length >> 8), page});
    f.insert(f.end(), body.begin(), body.end());
}

// Pages 8, 4 and 5 come from the state; any other page is filled with 0x99.
bytes make_z80_v23(const saved_state &s, uint16_t extra, uint8_t type, std::vector<block> blocks) {
    bytes f = z80_header(s, 0);
    bytes x(2 + extra, 0);
    put16(x, 0, extra);
    put16(x, 2, s.pc);
    x[4] = type;
    f.insert(f.end(), x.begin(), x.end());
    static const bytes other(16384, 0x99);
    for (const block &b : blocks) {
        int offset = b.page == 8 ? 0 : b.page == 4 ? 0x4000 : b.page == 5 ? 0x8000 : -1;
        add_block(f, b.page, offset < 0 ? other.data() : s.mem.data() + offset, b.packed);
    }
    return f;
}

// Writes a test file; with SNAPSHOT_SEED_DIR set, also keeps a copy there
// (the fuzzers' seeds are made that way).
std::string write_file(const std::string &name, const bytes &f) {
    std::string path = testing::TempDir() + "brenvik_" + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(f.data()), std::streamsize(f.size()));
    if (const char *dir = std::getenv("SNAPSHOT_SEED_DIR"))
        std::ofstream(std::string(dir) + "/" + name, std::ios::binary)
            .write(reinterpret_cast<const char *>(f.data()), std::streamsize(f.size()));
    return path;
}

// ---- The machine before and after ----

// A machine holding something else entirely, with state no loader may touch.
void scramble() {
    z80_fresh();
    af.w = 0x0101, bc.w = 0x0202, de.w = 0x0303, hl.w = 0x0404, ix.w = 0x0505, iy.w = 0x0606;
    saf.w = 0x0707, sbc.w = 0x0808, sde.w = 0x0909, shl.w = 0x0A0A, ir.w = 0x0B0B;
    sp = 0x0C0C, pc = 0x0D0D, iff1 = 0, iff2 = 0, im = 2, intreq = 1, cycles = -7, uladat = 0x15;
    for (int a = 0; a < ram_size; ++a) ram[a] = uint8_t(a * 31 + 7);
    for (int a = 0; a < rom_size; ++a) lorom[a] = uint8_t(a * 17 + 3);
    for (int q = 0; q < squares; q += 3) dsquare[q] = 1;
}

struct machine {
    uint16_t w[13];
    int32_t n[6];
    uint8_t ula;
    bytes ram, rom, dirty;
};

machine capture() {
    return {{af.w, bc.w, de.w, hl.w, ix.w, iy.w, saf.w, sbc.w, sde.w, shl.w, ir.w, sp, pc},
            {iff1, iff2, im, intreq, cycles, tempc},
            uladat,
            bytes(ram, ram + ram_size),
            bytes(lorom, lorom + rom_size),
            bytes(dsquare, dsquare + squares)};
}

std::size_t first_difference(const bytes &a, const bytes &b) {
    return std::size_t(std::mismatch(a.begin(), a.end(), b.begin()).first - a.begin());
}

void expect_unchanged(const machine &before) {
    machine now = capture();
    for (int k = 0; k < 13; ++k) EXPECT_EQ(now.w[k], before.w[k]) << "register word " << k;
    for (int k = 0; k < 6; ++k) EXPECT_EQ(now.n[k], before.n[k]) << "interrupt/timing value " << k;
    EXPECT_EQ(now.ula, before.ula);
    EXPECT_EQ(first_difference(now.ram, before.ram), now.ram.size()) << "ram differs there";
    EXPECT_EQ(now.rom, before.rom);
    EXPECT_EQ(now.dirty, before.dirty);
}

// Registers and 48 KB as the state says; what no loader touches as scramble left it.
void expect_state(const saved_state &s, const bytes &mem) {
    EXPECT_EQ(af.w, s.af); EXPECT_EQ(bc.w, s.bc); EXPECT_EQ(de.w, s.de); EXPECT_EQ(hl.w, s.hl);
    EXPECT_EQ(ix.w, s.ix); EXPECT_EQ(iy.w, s.iy);
    EXPECT_EQ(saf.w, s.saf); EXPECT_EQ(sbc.w, s.sbc); EXPECT_EQ(sde.w, s.sde); EXPECT_EQ(shl.w, s.shl);
    EXPECT_EQ(ir.by.hi, s.i); EXPECT_EQ(ir.by.lo, s.r);
    EXPECT_EQ(sp, s.sp); EXPECT_EQ(pc, s.pc);
    EXPECT_EQ(iff1, s.iff1); EXPECT_EQ(iff2, s.iff2); EXPECT_EQ(im, s.im);
    bytes now(ram + 0x4000, ram + ram_size);
    EXPECT_EQ(first_difference(now, mem), now.size()) << "memory differs at offset from 0x4000";
    EXPECT_EQ(intreq, 1); EXPECT_EQ(cycles, -7); EXPECT_EQ(uladat, 0x15);
    EXPECT_EQ(lorom[0x1234], uint8_t(0x1234 * 17 + 3));
}

// ---- .sna ----

TEST(SnaLoader, LoadsTheWholeMachineAndPopsThePc) {
    saved_state s = sample_state();
    std::string path = write_file("state.sna", make_sna(s));
    scramble();
    bytes dirty_before(dsquare, dsquare + squares);
    snapshot_result r = opensna(path.c_str());
    ASSERT_TRUE(r.ok) << r.caption << ": " << r.text;
    saved_state expected = s;
    expected.at(0xFF3E) = expected.at(0xFF3F) = 0;  // the popped return address is wiped
    expect_state(expected, expected.mem);
    EXPECT_EQ(bytes(dsquare, dsquare + squares), dirty_before);  // a stack outside the screen marks nothing
}

TEST(SnaLoader, InterruptByteSetsBothFlipFlopsFromBit2) {
    const struct { uint8_t byte; int32_t iff; } cases[] = {{0x04, 1}, {0x00, 0}, {0xFB, 0}, {0xFF, 1}};
    for (auto c : cases) {
        bytes f = make_sna(sample_state());
        f[19] = c.byte;
        scramble();
        ASSERT_TRUE(opensna_bytes(f.data(), f.size(), "x.sna").ok);
        EXPECT_EQ(iff1, c.iff) << int(c.byte);
        EXPECT_EQ(iff2, c.iff) << int(c.byte);
    }
}

TEST(SnaLoader, StackPopReadsThroughThePagesAndMarksWipedScreenBytes) {
    const struct {
        uint16_t sp;
        std::vector<int> squares;  // marked by the wipe
    } cases[] = {
        {0x4000, {0, 1}}, {0xFFFF, {}}, {0x3FFF, {0}}, {0x5AFF, {767}}, {0x57FF, {0, 767}}, {0x9000, {}},
    };
    for (const auto &c : cases) {
        saved_state s = sample_state();
        bytes f = make_sna(s);
        put16(f, 23, c.sp);
        scramble();
        std::memset(dsquare, 0, squares);
        auto byte_at = [&](uint16_t a) { return a < 0x4000 ? lorom[a] : f[27 + a - 0x4000]; };
        uint16_t want_pc = uint16_t(byte_at(c.sp) | byte_at(uint16_t(c.sp + 1)) << 8);
        ASSERT_TRUE(opensna_bytes(f.data(), f.size(), "x.sna").ok);
        EXPECT_EQ(pc, want_pc) << std::hex << c.sp;
        EXPECT_EQ(sp, uint16_t(c.sp + 2));
        EXPECT_EQ(ram[c.sp], 0);
        EXPECT_EQ(ram[uint16_t(c.sp + 1)], 0);
        EXPECT_EQ(lorom[0], uint8_t(3));  // a zero "written" to 0x0000 leaves the ROM alone
        std::vector<int> marked;
        for (int q = 0; q < squares; ++q)
            if (dsquare[q]) marked.push_back(q);
        EXPECT_EQ(marked, c.squares) << std::hex << c.sp;
    }
}

TEST(SnaLoader, TakesTheModeByteWholeAndIgnoresBorderAndTrailingBytes) {
    bytes f = make_sna(sample_state());
    f[25] = 1;
    f[26] = 2;
    f.insert(f.end(), 10, 0xAA);
    scramble();
    ASSERT_TRUE(opensna_bytes(f.data(), f.size(), "x.sna").ok);
    EXPECT_EQ(im, 1);
    EXPECT_EQ(uladat, 0x15);
}

// ---- .z80 version 1 ----

TEST(Z80Loader, Version1PlainAndPacked) {
    for (bool packed : {false, true}) {
        saved_state s = sample_state();
        std::string path = write_file(packed ? "v1_packed.z80" : "v1_plain.z80", make_z80_v1(s, packed));
        scramble();
        snapshot_result r = openz80(path.c_str());
        ASSERT_TRUE(r.ok) << r.caption << ": " << r.text;
        expect_state(s, s.mem);
        EXPECT_EQ(dirty_count(), 256);  // as scramble left them: the loader marks nothing
    }
}

TEST(Z80Loader, FlagByteGivesRBit7And255MeansOne) {
    const struct { uint8_t flags, r, want_r; bool packed; } cases[] = {
        {0x01, 0x7F, 0xFF, false}, {0x00, 0xFF, 0x7F, false}, {0xFF, 0x00, 0x80, false}, {0x21, 0x05, 0x85, true},
    };
    for (auto c : cases) {
        saved_state s = sample_state();
        bytes f = make_z80_v1(s, c.packed);
        f[11] = c.r;
        f[12] = c.flags;
        scramble();
        ASSERT_TRUE(openz80_bytes(f.data(), f.size(), "x.z80").ok) << int(c.flags);
        EXPECT_EQ(ir.by.lo, c.want_r) << int(c.flags);
        EXPECT_EQ(ram[0x8000], 0xF3) << int(c.flags);  // 255 must not be read as "packed"
    }
}

TEST(Z80Loader, InterruptBytes) {
    const struct { uint8_t b27, b28, b29; int32_t iff1, iff2, im; } cases[] = {
        {0xFF, 0x00, 0x41, 1, 0, 1}, {0x00, 0x01, 0x02, 0, 1, 2}, {0xFE, 0xFF, 0xFC, 0, 1, 0},
    };
    for (auto c : cases) {
        bytes f = make_z80_v1(sample_state(), false);
        f[27] = c.b27, f[28] = c.b28, f[29] = c.b29;
        scramble();
        ASSERT_TRUE(openz80_bytes(f.data(), f.size(), "x.z80").ok);
        EXPECT_EQ(iff1, c.iff1); EXPECT_EQ(iff2, c.iff2); EXPECT_EQ(im, c.im);
    }
}

// Packed version 1 images: what lands from 0x4000, and memory after it unchanged.
TEST(Z80Loader, Version1PackedStreams) {
    const struct { const char *what; bytes stream, stored; } cases[] = {
        {"run, bytes, end marker", {0xED, 0xED, 0x05, 0xAA, 0x01, 0x00, 0xED, 0xED, 0x00},
         {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0x01, 0x00}},
        {"ED 12 is two bytes", {0x12, 0xED, 0x12, 0x34, 0x00, 0xED, 0xED, 0x00}, {0x12, 0xED, 0x12, 0x34, 0x00}},
        {"lone ED before the marker", {0x07, 0xED, 0x00, 0xED, 0xED, 0x00}, {0x07, 0xED, 0x00}},
        {"ED ED 00 at the start is empty", {0xED, 0xED, 0x00, 0x11, 0x22}, {}},
        {"a run then ED ED 00 ends", {0xED, 0xED, 0x03, 0x77, 0xED, 0xED, 0x00}, {0x77, 0x77, 0x77}},
        {"a run of EDs", {0x01, 0xED, 0xED, 0x02, 0xED, 0x00, 0xED, 0xED, 0x00}, {0x01, 0xED, 0xED, 0x00}},
        {"an empty run not after 00", {0x01, 0xED, 0xED, 0x00, 0x55, 0x02, 0x00, 0xED, 0xED, 0x00},
         {0x01, 0x02, 0x00}},
    };
    for (const auto &c : cases) {
        saved_state s = sample_state();
        bytes f = z80_header(s, s.pc);
        f[12] |= 0x20;
        f.insert(f.end(), c.stream.begin(), c.stream.end());
        scramble();
        bytes mem(ram + 0x4000, ram + ram_size);
        std::copy(c.stored.begin(), c.stored.end(), mem.begin());
        snapshot_result r = openz80_bytes(f.data(), f.size(), "x.z80");
        ASSERT_TRUE(r.ok) << c.what << ": " << r.text;
        expect_state(s, mem);
    }
}

// ---- .z80 versions 2 and 3 ----

TEST(Z80Loader, Versions2And3) {
    const struct {
        const char *file;
        uint16_t extra;
        uint8_t type;
        std::vector<block> blocks;
    } cases[] = {
        {"v2_packed.z80", 23, 0, {{8, true}, {4, true}, {5, true}}},
        {"v2_plain.z80", 23, 0, {{4, false}, {5, false}, {8, false}}},
        {"v2_if1.z80", 23, 1, {{5, true}, {8, false}, {4, true}}},
        {"v3_packed.z80", 54, 0, {{5, true}, {8, true}, {4, true}}},
        {"v3_plain.z80", 55, 0, {{8, false}, {4, false}, {5, false}}},
        {"v3_mgt.z80", 54, 3, {{8, true}, {4, false}, {5, true}}},
        {"v3_multiface.z80", 55, 0, {{11, true}, {8, true}, {4, true}, {5, true}}},
        {"v3_rom_page.z80", 54, 1, {{8, true}, {0, false}, {1, true}, {4, true}, {5, false}}},
        {"v3_page_twice.z80", 54, 0, {{8, false}, {8, true}, {4, true}, {5, true}}},
        {"v2_extra_after.z80", 23, 0, {{8, true}, {4, true}, {5, true}, {3, true}, {9, false}}},
    };
    for (const auto &c : cases) {
        saved_state s = sample_state();
        bytes f = make_z80_v23(s, c.extra, c.type, c.blocks);
        if (std::string(c.file) == "v2_extra_after.z80") f.insert(f.end(), {0xED, 0xED, 0xFF});
        std::string path = write_file(c.file, f);
        scramble();
        snapshot_result r = openz80(path.c_str());
        ASSERT_TRUE(r.ok) << c.file << ": " << r.caption << ": " << r.text;
        expect_state(s, s.mem);
        EXPECT_EQ(dirty_count(), 256) << c.file;
    }
}

// In a page, 00 ED ED 00 is no end marker: the page is filled to its end.
TEST(Z80Loader, EndMarkerInsideAPageIsNoEnd) {
    saved_state s = sample_state();
    bytes f = make_z80_v23(s, 23, 0, {{4, true}, {5, true}});
    bytes page8 = {0xED, 0xED, 0x05, 0xAA, 0x01, 0x00, 0xED, 0xED, 0x00, 0x33};
    bytes rest = pack(s.mem.data() + 7, 16384 - 7);
    page8.insert(page8.end(), rest.begin(), rest.end());
    f.insert(f.end(), {uint8_t(page8.size()), uint8_t(page8.size() >> 8), 8});
    f.insert(f.end(), page8.begin(), page8.end());
    scramble();
    ASSERT_TRUE(openz80_bytes(f.data(), f.size(), "x.z80").ok);
    bytes mem = s.mem;
    std::copy_n(bytes{0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0x01, 0x00}.begin(), 7, mem.begin());
    expect_state(s, mem);
}

// ---- Choosing the loader ----

TEST(SnapshotChooser, ExtensionPosition) {
    const struct { const char *path; std::size_t ext; } cases[] = {
        {"game.sna", 5}, {"/a/b/game.Z80", 10}, {"/a.b/game", 9}, {"x.tar.z80", 6}, {"/tmp/.z80", 6}, {"dot.", 4},
    };
    for (auto c : cases) EXPECT_EQ(snapshot_extension(c.path), c.ext) << c.path;
}

TEST(SnapshotChooser, FirstExtensionLetterPicksTheLoader) {
    saved_state s = sample_state();
    const bytes z80 = make_z80_v1(s, true), sna = make_sna(s);
    const struct { const char *name; bool is_z80; } cases[] = {
        {"pick.z80", true}, {"pick.Z80", true}, {"pick.zx", true},
        {"pick.sna", false}, {"pick.SNA", false}, {"pick", false},
    };
    for (auto c : cases) {
        for (bool give_z80 : {false, true}) {
            std::string path = write_file(c.name, give_z80 ? z80 : sna);
            scramble();
            snapshot_result r = opensnapshot(path, snapshot_extension(path));
            // Each file loads only through its own loader: a .z80 is far too
            // short for a .sna, and a .sna's header names a 128K machine.
            EXPECT_EQ(r.ok, give_z80 == c.is_z80) << c.name << (give_z80 ? " given a .z80" : " given a .sna");
        }
    }
}

// ---- Rejected files ----

struct rejection {
    const char *what;
    bool z80;
    std::function<bytes()> file;
    const char *caption;
    const char *reason;  // part of the message text
};

bytes v1_packed_prefix(std::size_t stored) {
    saved_state s = sample_state();
    bytes f = z80_header(s, s.pc);
    f[12] |= 0x20;
    bytes p = pack(s.mem.data(), stored);
    f.insert(f.end(), p.begin(), p.end());
    return f;
}

bytes cut(bytes f, std::size_t size) {
    f.resize(size);
    return f;
}

bytes with(bytes f, std::size_t at, uint8_t v) {
    f[at] = v;
    return f;
}

bytes appended(bytes f, const bytes &tail) {
    f.insert(f.end(), tail.begin(), tail.end());
    return f;
}

bytes v2(std::vector<block> blocks, uint16_t extra = 23, uint8_t type = 0) {
    return make_z80_v23(sample_state(), extra, type, blocks);
}

const rejection rejections[] = {
    {"empty .sna", false, [] { return bytes(); }, "Damaged Snapshot", "holds 0 bytes"},
    {".sna header only", false, [] { return cut(make_sna(sample_state()), 27); }, "Damaged Snapshot", "49179"},
    {".sna one byte short", false, [] { return cut(make_sna(sample_state()), 49178); }, "Damaged Snapshot",
     "holds 49178 bytes"},
    {"128K .sna", false, [] { return appended(make_sna(sample_state()), bytes(131103 - 49179, 1)); },
     "Unsupported Snapshot", "128K"},
    {"128K .sna with six pages", false, [] { return appended(make_sna(sample_state()), bytes(147487 - 49179, 1)); },
     "Unsupported Snapshot", "128K"},
    {"empty .z80", true, [] { return bytes(); }, "Damaged Snapshot", "30-byte"},
    {".z80 header cut", true, [] { return cut(make_z80_v1(sample_state(), false), 29); }, "Damaged Snapshot",
     "30-byte"},
    {"v1 plain one byte short", true, [] { return cut(make_z80_v1(sample_state(), false), 30 + 49151); },
     "Damaged Snapshot", "49151 of its 49152"},
    {"v1 packed without end", true, [] { return v1_packed_prefix(2000); }, "Damaged Snapshot", "end marker"},
    {"v1 packed ends in a run", true, [] { return appended(v1_packed_prefix(100), {0xED, 0xED, 0x05}); },
     "Damaged Snapshot", "end marker"},
    {"v1 packed ends on a lone ED", true, [] { return appended(v1_packed_prefix(100), {0xED}); },
     "Damaged Snapshot", "end marker"},
    {"v1 run past 0xFFFF", true, [] { return appended(v1_packed_prefix(49150), {0xED, 0xED, 0x03, 0x11}); },
     "Damaged Snapshot", "past address 0xFFFF"},
    {"v2 without extra length", true, [] { return cut(v2({{8, true}, {4, true}, {5, true}}), 31); },
     "Damaged Snapshot", "length of its extra header"},
    {"extra header of 24", true, [] { return with(v2({{8, true}, {4, true}, {5, true}}), 30, 24); },
     "Unsupported Snapshot", "is 24 bytes"},
    {"extra header of 0", true, [] { return with(v2({{8, true}, {4, true}, {5, true}}), 30, 0); },
     "Unsupported Snapshot", "is 0 bytes"},
    {"extra header cut", true, [] { return cut(v2({}), 40); }, "Damaged Snapshot", "inside its 23-byte"},
    {"v2 128K", true, [] { return v2({{8, true}, {4, true}, {5, true}}, 23, 3); }, "Unsupported Snapshot",
     "a 128K Spectrum;"},
    {"v2 SamRam", true, [] { return v2({{8, true}, {4, true}, {5, true}}, 23, 2); }, "Unsupported Snapshot",
     "SamRam"},
    {"v3 128K", true, [] { return v2({{8, true}, {4, true}, {5, true}}, 54, 4); }, "Unsupported Snapshot",
     "a 128K Spectrum;"},
    {"v3 +3", true, [] { return v2({{8, true}, {4, true}, {5, true}}, 55, 7); }, "Unsupported Snapshot", "+3"},
    {"v3 Pentagon", true, [] { return v2({{8, true}, {4, true}, {5, true}}, 54, 9); }, "Unsupported Snapshot",
     "Pentagon"},
    {"v3 unknown machine", true, [] { return v2({{8, true}, {4, true}, {5, true}}, 54, 77); },
     "Unsupported Snapshot", "type 77"},
    {"16K machine", true, [] { return with(v2({{8, true}}), 37, 0x80); }, "Unsupported Snapshot", "16K"},
    {"no pages", true, [] { return v2({}); }, "Damaged Snapshot", "page 8, 4, 5"},
    {"page 5 missing", true, [] { return v2({{8, true}, {4, true}}); }, "Damaged Snapshot", "page 5;"},
    {"page twice, 5 missing", true, [] { return v2({{8, true}, {4, false}, {8, false}}); }, "Damaged Snapshot",
     "page 5;"},
    {"other page instead of 5", true, [] { return v2({{8, true}, {4, true}, {11, true}}); },
     "Damaged Snapshot", "page 5;"},
    {"block header cut", true, [] { return appended(v2({{8, true}, {4, true}}), {0xFF, 0xFF}); },
     "Damaged Snapshot", "header of memory block 3"},
    {"plain block short", true, [] { return cut(v2({{8, true}, {4, true}, {5, false}}), v2({{8, true}, {4, true}}).size() + 3 + 16000); },
     "Damaged Snapshot", "block 3 (page 5) ends after 16000"},
    {"packed block short", true, [] { return cut(v2({{8, true}, {4, true}}), v2({{8, true}}).size() + 100); },
     "Damaged Snapshot", "block 2 (page 4) ends before"},
    {"packed block overflows", true,
     [] {
         bytes f = v2({{8, true}, {4, true}});
         saved_state s = sample_state();
         bytes body = pack(s.mem.data() + 0x8000, 16380);
         body.insert(body.end(), {0xED, 0xED, 0x0A, 0x11});
         f.insert(f.end(), {0, 0, 5});
         return appended(f, body);
     },
     "Damaged Snapshot", "block 3 (page 5) unpacks to more than 16384"},
};

TEST(SnapshotRejection, LeavesTheMachineExactlyAsItWas) {
    for (const rejection &c : rejections) {
        bytes f = c.file();
        std::string path = write_file(std::string("bad_") + (c.z80 ? "z80_" : "sna_") + std::to_string(&c - rejections) +
                                          (c.z80 ? ".z80" : ".sna"),
                                      f);
        scramble();
        machine before = capture();
        snapshot_result r = c.z80 ? openz80(path.c_str()) : opensna(path.c_str());
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_EQ(r.caption, c.caption) << c.what;
        EXPECT_EQ(r.text.rfind(path + "\n\n", 0), 0u) << c.what << ": " << r.text;
        EXPECT_NE(r.text.find(c.reason), std::string::npos) << c.what << ": " << r.text;
        SCOPED_TRACE(c.what);
        expect_unchanged(before);
    }
}

TEST(SnapshotRejection, MissingAndUnreadableFiles) {
    const struct { bool z80; std::string path; const char *caption; } cases[] = {
        {false, testing::TempDir() + "brenvik_missing.sna", "Not Found"},
        {true, testing::TempDir() + "brenvik_missing.z80", "Not Found"},
        {false, testing::TempDir(), "Cannot Read Snapshot"},  // a folder
        {true, testing::TempDir(), "Cannot Read Snapshot"},
    };
    for (const auto &c : cases) {
        scramble();
        machine before = capture();
        snapshot_result r = c.z80 ? openz80(c.path.c_str()) : opensna(c.path.c_str());
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.caption, c.caption);
        if (std::string(c.caption) == "Not Found") {
            // The path, and the system's reason below it.
            EXPECT_EQ(r.text, c.path + "\n\nThe file cannot be opened: No such file or directory.");
        }
        expect_unchanged(before);
    }
}

}  // namespace
