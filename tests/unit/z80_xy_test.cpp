// The index pages after DD (IX) and FD (IY). Every row runs once per prefix,
// with the other index register holding a decoy value, and checks the whole
// machine afterwards: the listed registers and bytes change, nothing else does.
// Charges are written here as the machine's timing states them, never read
// from the decoder's own tables.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "z80/z80_charges_xy.h"
#include "z80_harness.h"

namespace {

constexpr uint16_t org = 0x8000;  // the prefix byte's address

struct prefix_info {
    uint8_t byte;
    pair *xy;     // the prefix's index register
    pair *other;  // the other one, which must never change
    const char *name;
};
const prefix_info prefixes[2] = {{0xDD, &ix, &iy, "DD"}, {0xFD, &iy, &ix, "FD"}};

enum reg_id { AF, BC, DE, HL, XY, OTHER, SP, PC, INTREQ, IFF1, NREGS };
const char *const reg_names[NREGS] = {"AF", "BC", "DE", "HL", "XY", "OTHER", "SP", "PC", "intreq", "iff1"};

// Everything an instruction could touch.
struct machine {
    uint16_t reg[NREGS];
    uint8_t r, i;
    uint16_t alt[4];
    int32_t iff2, im;
    std::vector<uint8_t> ram, rom, squares;
};

machine capture(const prefix_info &p) {
    machine m;
    m.reg[AF] = af.w;
    m.reg[BC] = bc.w;
    m.reg[DE] = de.w;
    m.reg[HL] = hl.w;
    m.reg[XY] = p.xy->w;
    m.reg[OTHER] = p.other->w;
    m.reg[SP] = sp;
    m.reg[PC] = pc;
    m.reg[INTREQ] = uint16_t(intreq);
    m.reg[IFF1] = uint16_t(iff1);
    m.r = r_reg;
    m.i = i_reg;
    m.alt[0] = saf.w;
    m.alt[1] = sbc.w;
    m.alt[2] = sde.w;
    m.alt[3] = shl.w;
    m.iff2 = iff2;
    m.im = im;
    m.ram.assign(ram, ram + ram_size);
    m.rom.assign(lorom, lorom + rom_size);
    m.squares.assign(dsquare, dsquare + squares);
    return m;
}

// An empty string when the two states agree, else what differs.
std::string differences(const machine &want, const machine &got) {
    std::ostringstream out;
    out << std::hex;
    for (int k = 0; k < NREGS; ++k)
        if (want.reg[k] != got.reg[k])
            out << reg_names[k] << " 0x" << got.reg[k] << " (want 0x" << want.reg[k] << ") ";
    if (want.r != got.r) out << "R 0x" << int(got.r) << " (want 0x" << int(want.r) << ") ";
    if (want.i != got.i) out << "I changed ";
    for (int k = 0; k < 4; ++k)
        if (want.alt[k] != got.alt[k]) out << "alternate pair " << k << " changed ";
    if (want.iff2 != got.iff2 || want.im != got.im) out << "iff2 or im changed ";
    for (int a = 0; a < ram_size; ++a)
        if (want.ram[a] != got.ram[a])
            out << "ram[0x" << a << "] 0x" << int(got.ram[a]) << " (want 0x" << int(want.ram[a]) << ") ";
    if (want.rom != got.rom) out << "ROM changed ";
    for (int s = 0; s < squares; ++s)
        if (want.squares[s] != got.squares[s])
            out << "square " << std::dec << s << (got.squares[s] ? " marked " : " not marked ") << std::hex;
    return out.str();
}

// Background state before each row: distinct values in every register, so a
// handler that reads or writes the wrong one shows.
void background(const prefix_info &p) {
    z80_fresh();
    af.w = 0xA700;
    bc.w = 0x0B0C;
    de.w = 0x0D0E;
    hl.w = 0x4748;
    p.xy->w = 0x6000;
    p.other->w = 0x5A5A;
    sp = 0xF000;
    ir.w = 0x3F7F;  // R = 0x7F: the row's R increments carry into bit 7
    saf.w = 0x1111;
    sbc.w = 0x2222;
    sde.w = 0x3333;
    shl.w = 0x4444;
    im = 1;
}

void set_reg(const prefix_info &p, reg_id r, uint16_t v) {
    switch (r) {
    case AF: af.w = v; break;
    case BC: bc.w = v; break;
    case DE: de.w = v; break;
    case HL: hl.w = v; break;
    case XY: p.xy->w = v; break;
    case OTHER: p.other->w = v; break;
    case SP: sp = v; break;
    case PC: pc = v; break;
    case INTREQ: intreq = v; break;
    case IFF1: iff1 = v; break;
    case NREGS: break;
    }
}

struct reg_value {
    reg_id reg;
    uint16_t v;
};
struct byte_value {
    uint16_t addr;  // below 0x4000: in the ROM when set up, in ram's ROM-area copy when expected
    uint8_t v;
};

struct xy_row {
    const char *what;
    std::vector<uint8_t> code;      // the bytes after the prefix
    uint16_t pc;                    // pc afterwards
    int t_dd, t_fd;                 // charges after DD and after FD
    std::vector<reg_value> in;      // registers set before
    std::vector<byte_value> mem;    // bytes set before
    std::vector<reg_value> out;     // registers that change
    std::vector<byte_value> store;  // ram bytes that change
    std::vector<int> marked;        // squares marked dirty
};

// Runs one row after one prefix and checks the whole machine.
void run_row(const xy_row &row, const prefix_info &p) {
    SCOPED_TRACE(std::string(p.name) + " " + row.what);
    background(p);
    std::vector<uint8_t> bytes{p.byte};
    bytes.insert(bytes.end(), row.code.begin(), row.code.end());
    for (size_t k = 0; k < bytes.size(); ++k) z80_poke(uint16_t(org + k), {bytes[k]});
    pc = org;
    for (const auto &rv : row.in) set_reg(p, rv.reg, rv.v);
    for (const auto &bv : row.mem) z80_poke(bv.addr, {bv.v});

    machine want = capture(p);
    for (const auto &rv : row.out) want.reg[rv.reg] = rv.v;
    want.reg[PC] = row.pc;
    for (const auto &bv : row.store) want.ram[bv.addr] = bv.v;
    for (int s : row.marked) want.squares[s] = 1;
    want.r = uint8_t(want.r + (row.code[0] == 0xCB ? 3 : 2));

    const int cost = z80_step_cost();
    EXPECT_EQ(cost, p.byte == 0xDD ? row.t_dd : row.t_fd);
    EXPECT_EQ(differences(want, capture(p)), "");
}

void run_rows(const std::vector<xy_row> &rows) {
    for (const auto &row : rows)
        for (const auto &p : prefixes) run_row(row, p);
}

// ---- Loads, 16-bit arithmetic, INC and DEC ----
TEST(IndexPage, LoadsAndArithmetic) {
    run_rows({
        {"LD XY,nn", {0x21, 0x34, 0x12}, 0x8004, 19, 16, {}, {}, {{XY, 0x1234}}, {}, {}},
        {"LD (nn),XY", {0x22, 0x00, 0x70}, 0x8004, 20, 24, {{XY, 0xABCD}}, {}, {}, {{0x7000, 0xCD}, {0x7001, 0xAB}}, {}},
        {"LD (nn),XY at 0x5AFF marks one square", {0x22, 0xFF, 0x5A}, 0x8004, 20, 24, {{XY, 0xABCD}}, {}, {},
         {{0x5AFF, 0xCD}, {0x5B00, 0xAB}}, {767}},
        {"LD (nn),XY at 0x3FFF", {0x22, 0xFF, 0x3F}, 0x8004, 20, 24, {{XY, 0xABCD}}, {}, {},
         {{0x3FFF, 0xCD}, {0x4000, 0xAB}}, {0}},
        {"LD (nn),XY at 0xFFFF wraps", {0x22, 0xFF, 0xFF}, 0x8004, 20, 24, {{XY, 0xABCD}}, {}, {},
         {{0xFFFF, 0xCD}, {0x0000, 0xAB}}, {}},
        {"LD XY,(nn)", {0x2A, 0x00, 0x70}, 0x8004, 19, 24, {}, {{0x7000, 0x34}, {0x7001, 0x12}}, {{XY, 0x1234}}, {}, {}},
        {"LD XY,(nn) at 0xFFFF wraps into the ROM", {0x2A, 0xFF, 0xFF}, 0x8004, 19, 24, {},
         {{0xFFFF, 0x34}, {0x0000, 0x12}}, {{XY, 0x1234}}, {}, {}},
        {"INC XY", {0x23}, 0x8002, 10, 8, {{XY, 0xFFFF}, {AF, 0xA7D7}}, {}, {{XY, 0x0000}}, {}, {}},
        {"DEC XY", {0x2B}, 0x8002, 10, 8, {{XY, 0x0000}, {AF, 0xA7D7}}, {}, {{XY, 0xFFFF}}, {}, {}},
        {"INC XYh", {0x24}, 0x8002, 8, 8, {{XY, 0x7F3C}, {AF, 0xA701}}, {}, {{XY, 0x803C}, {AF, 0xA795}}, {}, {}},
        {"DEC XYh", {0x25}, 0x8002, 8, 8, {{XY, 0x0010}}, {}, {{XY, 0xFF10}, {AF, 0xA7AA}}, {}, {}},
        {"INC XYl", {0x2C}, 0x8002, 10, 8, {{XY, 0x12FF}}, {}, {{XY, 0x1200}, {AF, 0xA750}}, {}, {}},
        {"DEC XYl", {0x2D}, 0x8002, 10, 8, {{XY, 0x1280}}, {}, {{XY, 0x127F}, {AF, 0xA72E}}, {}, {}},
        {"LD XYh,n", {0x26, 0x99}, 0x8003, 19, 12, {{XY, 0x1234}}, {}, {{XY, 0x9934}}, {}, {}},
        {"LD XYl,n", {0x2E, 0x99}, 0x8003, 14, 14, {{XY, 0x1234}}, {}, {{XY, 0x1299}}, {}, {}},
        // setadd16 keeps S, Z and P, clears N and C, and sets H only for 01 -> 10 in bits 12-11.
        {"ADD XY,BC", {0x09}, 0x8002, 15, 16, {{XY, 0x0FFF}, {BC, 0x0001}, {AF, 0xA7C7}}, {},
         {{XY, 0x1000}, {AF, 0xA7D4}}, {}, {}},
        {"ADD XY,DE carries", {0x19}, 0x8002, 15, 16, {{XY, 0x8000}, {DE, 0x8000}}, {}, {{XY, 0x0000}, {AF, 0xA701}},
         {}, {}},
        {"ADD XY,XY", {0x29}, 0x8002, 15, 16, {{XY, 0x0800}}, {}, {{XY, 0x1000}, {AF, 0xA710}}, {}, {}},
        {"ADD XY,SP", {0x39}, 0x8002, 15, 16, {{XY, 0x1000}, {SP, 0xF000}}, {}, {{XY, 0x0000}, {AF, 0xA701}}, {}, {}},
        {"LD SP,XY", {0xF9}, 0x8002, 10, 10, {{XY, 0x1234}}, {}, {{SP, 0x1234}}, {}, {}},
    });
}

// ---- The effective address XY + d ----
TEST(IndexPage, IndexedMemory) {
    run_rows({
        {"INC (XY+d) d = -1 into the screen", {0x34, 0xFF}, 0x8003, 23, 12, {{XY, 0x4001}}, {{0x4000, 0x7F}},
         {{AF, 0xA794}}, {{0x4000, 0x80}}, {0}},
        {"INC (XY+d) wraps past 0xFFFF into the ROM area", {0x34, 0x01}, 0x8003, 23, 12, {{XY, 0xFFFF}},
         {{0x0000, 0x41}}, {{AF, 0xA700}}, {{0x0000, 0x42}}, {}},
        {"DEC (XY+d) in the display file", {0x35, 0x21}, 0x8003, 23, 12, {{XY, 0x4700}, {AF, 0xA701}},
         {{0x4721, 0x21}}, {{AF, 0xA733}}, {{0x4721, 0x20}}, {33}},
        {"LD (XY+d),n reads d before n", {0x36, 0x02, 0x5A}, 0x8004, 19, 24, {{XY, 0x7000}}, {}, {},
         {{0x7002, 0x5A}}, {}},
        {"LD (XY+d),n d = -1 from 0x0000 wraps", {0x36, 0xFF, 0x5A}, 0x8004, 19, 24, {{XY, 0x0000}}, {}, {},
         {{0xFFFF, 0x5A}}, {}},
        {"LD B,(XY+d)", {0x46, 0x03}, 0x8003, 19, 24, {}, {{0x6003, 0x99}}, {{BC, 0x990C}}, {}, {}},
        {"LD C,(XY+d)", {0x4E, 0x04}, 0x8003, 19, 24, {}, {{0x6004, 0x99}}, {{BC, 0x0B99}}, {}, {}},
        {"LD D,(XY+d)", {0x56, 0x05}, 0x8003, 19, 24, {}, {{0x6005, 0x99}}, {{DE, 0x990E}}, {}, {}},
        {"LD E,(XY+d)", {0x5E, 0x06}, 0x8003, 19, 24, {}, {{0x6006, 0x99}}, {{DE, 0x0D99}}, {}, {}},
        {"LD H,(XY+d) loads the real H", {0x66, 0x07}, 0x8003, 19, 24, {}, {{0x6007, 0x99}}, {{HL, 0x9948}}, {}, {}},
        {"LD L,(XY+d) loads the real L", {0x6E, 0x08}, 0x8003, 19, 24, {}, {{0x6008, 0x99}}, {{HL, 0x4799}}, {}, {}},
        {"LD A,(XY+d)", {0x7E, 0x7F}, 0x8003, 19, 24, {}, {{0x607F, 0x99}}, {{AF, 0x9900}}, {}, {}},
        {"LD A,(XY+d) d = -128", {0x7E, 0x80}, 0x8003, 19, 24, {{XY, 0x8000}}, {{0x7F80, 0x42}}, {{AF, 0x4200}}, {},
         {}},
        {"LD A,(XY+d) wraps into the ROM", {0x7E, 0x10}, 0x8003, 19, 24, {{XY, 0xFFF8}}, {{0x0008, 0x42}},
         {{AF, 0x4200}}, {}, {}},
        {"LD (XY+d),B", {0x70, 0x01}, 0x8003, 19, 24, {}, {}, {}, {{0x6001, 0x0B}}, {}},
        {"LD (XY+d),C", {0x71, 0x02}, 0x8003, 19, 24, {}, {}, {}, {{0x6002, 0x0C}}, {}},
        {"LD (XY+d),D", {0x72, 0x03}, 0x8003, 19, 24, {}, {}, {}, {{0x6003, 0x0D}}, {}},
        {"LD (XY+d),E", {0x73, 0x04}, 0x8003, 19, 24, {}, {}, {}, {{0x6004, 0x0E}}, {}},
        {"LD (XY+d),H stores the real H", {0x74, 0x05}, 0x8003, 19, 24, {}, {}, {}, {{0x6005, 0x47}}, {}},
        {"LD (XY+d),L stores the real L", {0x75, 0x06}, 0x8003, 19, 24, {}, {}, {}, {{0x6006, 0x48}}, {}},
        {"LD (XY+d),A", {0x77, 0x07}, 0x8003, 19, 24, {}, {}, {}, {{0x6007, 0xA7}}, {}},
        {"LD (XY+d),A into the attributes", {0x77, 0x7F}, 0x8003, 19, 24, {{XY, 0x5800}}, {}, {}, {{0x587F, 0xA7}},
         {127}},
        {"LD (XY+d),A just past the attributes", {0x77, 0x00}, 0x8003, 19, 24, {{XY, 0x5B00}}, {}, {},
         {{0x5B00, 0xA7}}, {}},
        {"LD (XY+d),A into the ROM area", {0x77, 0x00}, 0x8003, 19, 24, {{XY, 0x1000}}, {}, {}, {{0x1000, 0xA7}}, {}},
    });
}

// ---- The index halves ----
TEST(IndexPage, IndexHalves) {
    run_rows({
        {"LD B,XYh", {0x44}, 0x8002, 8, 8, {{XY, 0x9A3C}}, {}, {{BC, 0x9A0C}}, {}, {}},
        {"LD D,XYh", {0x54}, 0x8002, 8, 8, {{XY, 0x9A3C}}, {}, {{DE, 0x9A0E}}, {}, {}},
        {"LD E,XYh", {0x5C}, 0x8002, 8, 8, {{XY, 0x9A3C}}, {}, {{DE, 0x0D9A}}, {}, {}},
        {"LD A,XYh", {0x7C}, 0x8002, 8, 8, {{XY, 0x9A3C}}, {}, {{AF, 0x9A00}}, {}, {}},
        {"LD B,XYl", {0x45}, 0x8002, 8, 8, {{XY, 0x9A3C}}, {}, {{BC, 0x3C0C}}, {}, {}},
        {"LD C,XYl", {0x4D}, 0x8002, 8, 8, {{XY, 0x9A3C}}, {}, {{BC, 0x0B3C}}, {}, {}},
        {"LD D,XYl", {0x55}, 0x8002, 8, 8, {{XY, 0x9A3C}}, {}, {{DE, 0x3C0E}}, {}, {}},
        {"LD E,XYl", {0x5D}, 0x8002, 8, 8, {{XY, 0x9A3C}}, {}, {{DE, 0x0D3C}}, {}, {}},
        {"LD A,XYl", {0x7D}, 0x8002, 8, 8, {{XY, 0x9A3C}}, {}, {{AF, 0x3C00}}, {}, {}},
        {"LD XYh,B", {0x60}, 0x8002, 8, 8, {{XY, 0x9A3C}}, {}, {{XY, 0x0B3C}}, {}, {}},
        {"LD XYh,C", {0x61}, 0x8002, 8, 8, {{XY, 0x9A3C}}, {}, {{XY, 0x0C3C}}, {}, {}},
        {"LD XYh,D", {0x62}, 0x8002, 8, 8, {{XY, 0x9A3C}}, {}, {{XY, 0x0D3C}}, {}, {}},
        {"LD XYh,E", {0x63}, 0x8002, 8, 8, {{XY, 0x9A3C}}, {}, {{XY, 0x0E3C}}, {}, {}},
        {"LD XYh,A", {0x67}, 0x8002, 8, 8, {{XY, 0x9A3C}}, {}, {{XY, 0xA73C}}, {}, {}},
        {"LD XYl,B", {0x68}, 0x8002, 8, 8, {{XY, 0x9A3C}}, {}, {{XY, 0x9A0B}}, {}, {}},
        {"LD XYl,C", {0x69}, 0x8002, 8, 8, {{XY, 0x9A3C}}, {}, {{XY, 0x9A0C}}, {}, {}},
        {"LD XYl,D", {0x6A}, 0x8002, 8, 8, {{XY, 0x9A3C}}, {}, {{XY, 0x9A0D}}, {}, {}},
        {"LD XYl,E", {0x6B}, 0x8002, 8, 8, {{XY, 0x9A3C}}, {}, {{XY, 0x9A0E}}, {}, {}},
        {"LD XYl,A", {0x6F}, 0x8002, 8, 8, {{XY, 0x9A3C}}, {}, {{XY, 0x9AA7}}, {}, {}},
        // The four copies from the real H and L of hl.
        {"0x64 copies H into XYh", {0x64}, 0x8002, 8, 8, {{XY, 0xABCD}, {HL, 0x1234}}, {}, {{XY, 0x12CD}}, {}, {}},
        {"0x65 copies L into XYh", {0x65}, 0x8002, 8, 8, {{XY, 0xABCD}, {HL, 0x1234}}, {}, {{XY, 0x34CD}}, {}, {}},
        {"0x6C copies H into XYl", {0x6C}, 0x8002, 8, 8, {{XY, 0xABCD}, {HL, 0x1234}}, {}, {{XY, 0xAB12}}, {}, {}},
        {"0x6D copies L into XYl", {0x6D}, 0x8002, 8, 8, {{XY, 0xABCD}, {HL, 0x1234}}, {}, {{XY, 0xAB34}}, {}, {}},
    });
}

// ---- ALU on A with an index half or (XY+d) ----
TEST(IndexPage, Alu) {
    run_rows({
        {"ADD A,XYh", {0x84}, 0x8002, 8, 8, {{AF, 0x7F00}, {XY, 0x01FF}}, {}, {{AF, 0x8094}}, {}, {}},
        {"ADD A,XYl", {0x85}, 0x8002, 8, 8, {{AF, 0xFF00}, {XY, 0xFF01}}, {}, {{AF, 0x0051}}, {}, {}},
        {"SUB XYh", {0x94}, 0x8002, 8, 8, {{AF, 0x8000}, {XY, 0x01FF}}, {}, {{AF, 0x7F3E}}, {}, {}},
        {"SBC A,XYh uses the old carry", {0x9C}, 0x8002, 8, 8, {{AF, 0x0001}, {XY, 0xFF00}}, {}, {{AF, 0x0043}}, {},
         {}},
        {"SBC A,XYl", {0x9D}, 0x8002, 8, 8, {{AF, 0x1000}, {XY, 0x0001}}, {}, {{AF, 0x0F1A}}, {}, {}},
        {"AND XYh keeps H", {0xA4}, 0x8002, 8, 8, {{AF, 0xF012}, {XY, 0x0FFF}}, {}, {{AF, 0x0054}}, {}, {}},
        {"XOR XYh keeps H", {0xAC}, 0x8002, 8, 8, {{AF, 0x5510}, {XY, 0x5500}}, {}, {{AF, 0x0054}}, {}, {}},
        {"XOR XYl", {0xAD}, 0x8002, 8, 8, {{AF, 0x0F01}, {XY, 0x00F0}}, {}, {{AF, 0xFFAC}}, {}, {}},
        {"OR XYh", {0xB4}, 0x8002, 8, 8, {{AF, 0x0003}, {XY, 0x00FF}}, {}, {{AF, 0x0044}}, {}, {}},
        {"OR XYl", {0xB5}, 0x8002, 8, 8, {{AF, 0x2000}, {XY, 0xFF08}}, {}, {{AF, 0x282C}}, {}, {}},
        {"CP XYh", {0xBC}, 0x8002, 8, 8, {{AF, 0x0100}, {XY, 0x0AFF}}, {}, {{AF, 0x01A3}}, {}, {}},
        {"CP XYl", {0xBD}, 0x8002, 8, 8, {{AF, 0x8000}, {XY, 0xFF01}}, {}, {{AF, 0x803E}}, {}, {}},
        {"ADD A,(XY+d)", {0x86, 0x02}, 0x8003, 19, 19, {{AF, 0x7F00}}, {{0x6002, 0x01}}, {{AF, 0x8094}}, {}, {}},
        {"ADC A,(XY+d) uses the old carry", {0x8E, 0x02}, 0x8003, 19, 19, {{AF, 0x7F01}}, {{0x6002, 0x00}},
         {{AF, 0x8094}}, {}, {}},
        {"SUB (XY+d)", {0x96, 0x02}, 0x8003, 19, 19, {{AF, 0x0100}}, {{0x6002, 0x0A}}, {{AF, 0xF7A3}}, {}, {}},
        {"SBC A,(XY+d) uses the old carry", {0x9E, 0x00}, 0x8003, 19, 19, {{AF, 0x1001}}, {{0x6000, 0x01}},
         {{AF, 0x0E1A}}, {}, {}},
        {"AND (XY+d) clears N and C", {0xA6, 0x00}, 0x8003, 19, 19, {{AF, 0xFF03}}, {{0x6000, 0x0F}},
         {{AF, 0x0F0C}}, {}, {}},
        {"XOR (XY+d)", {0xAE, 0x02}, 0x8003, 19, 19, {{AF, 0xFF00}}, {{0x6002, 0xFF}}, {{AF, 0x0044}}, {}, {}},
        {"OR (XY+d)", {0xB6, 0xFE}, 0x8003, 19, 19, {{AF, 0x8000}}, {{0x5FFE, 0x01}}, {{AF, 0x8184}}, {}, {}},
        {"CP (XY+d)", {0xBE, 0x02}, 0x8003, 19, 19, {{AF, 0x0000}}, {{0x6002, 0x01}}, {{AF, 0x00BB}}, {}, {}},
    });
}

// ---- Stack and jumps ----
TEST(IndexPage, StackAndJumps) {
    run_rows({
        {"POP XY", {0xE1}, 0x8002, 14, 16, {}, {{0xF000, 0x34}, {0xF001, 0x12}}, {{XY, 0x1234}, {SP, 0xF002}}, {},
         {}},
        {"POP XY wraps sp", {0xE1}, 0x8002, 14, 16, {{SP, 0xFFFF}}, {{0xFFFF, 0x34}, {0x0000, 0x12}},
         {{XY, 0x1234}, {SP, 0x0001}}, {}, {}},
        {"EX (SP),XY", {0xE3}, 0x8002, 23, 23, {{XY, 0xABCD}}, {{0xF000, 0x34}, {0xF001, 0x12}}, {{XY, 0x1234}},
         {{0xF000, 0xCD}, {0xF001, 0xAB}}, {}},
        {"EX (SP),XY across the screen's end", {0xE3}, 0x8002, 23, 23, {{XY, 0xABCD}, {SP, 0x57FF}},
         {{0x57FF, 0x34}, {0x5800, 0x12}}, {{XY, 0x1234}}, {{0x57FF, 0xCD}, {0x5800, 0xAB}}, {767, 0}},
        {"EX (SP),XY at 0xFFFF wraps", {0xE3}, 0x8002, 23, 23, {{XY, 0xABCD}, {SP, 0xFFFF}},
         {{0xFFFF, 0x34}, {0x0000, 0x12}}, {{XY, 0x1234}}, {{0xFFFF, 0xCD}, {0x0000, 0xAB}}, {}},
        {"PUSH XY", {0xE5}, 0x8002, 15, 20, {{XY, 0x1234}}, {}, {{SP, 0xEFFE}}, {{0xEFFF, 0x12}, {0xEFFE, 0x34}}, {}},
        {"PUSH XY into the attributes' end", {0xE5}, 0x8002, 15, 20, {{XY, 0x1234}, {SP, 0x5B01}}, {},
         {{SP, 0x5AFF}}, {{0x5B00, 0x12}, {0x5AFF, 0x34}}, {767}},
        {"JP (XY)", {0xE9}, 0x1234, 8, 8, {{XY, 0x1234}}, {}, {}, {}, {}},
        {"CALL nn with the stack in the screen", {0xCD, 0x00, 0x90}, 0x9000, 17, 17, {{SP, 0x4002}}, {},
         {{SP, 0x4000}}, {{0x4001, 0x80}, {0x4000, 0x04}}, {1, 0}},
    });
}

// ---- Unprefixed instructions that run as themselves after a prefix ----
TEST(IndexPage, UnprefixedRows) {
    run_rows({
        {"DEC SP wraps", {0x3B}, 0x8002, 6, 6, {{SP, 0x0000}}, {}, {{SP, 0xFFFF}}, {}, {}},
        {"INC A", {0x3C}, 0x8002, 4, 4, {{AF, 0x7F01}}, {}, {{AF, 0x8095}}, {}, {}},
        {"DEC A", {0x3D}, 0x8002, 4, 4, {{AF, 0x0000}}, {}, {{AF, 0xFFAA}}, {}, {}},
        {"LD A,n", {0x3E, 0x5A}, 0x8003, 7, 7, {}, {}, {{AF, 0x5A00}}, {}, {}},
        {"CCF with C set keeps N", {0x3F}, 0x8002, 4, 4, {{AF, 0x0003}}, {}, {{AF, 0x0012}}, {}, {}},
        {"CCF with C clear", {0x3F}, 0x8002, 4, 4, {{AF, 0x0010}}, {}, {{AF, 0x0001}}, {}, {}},
        {"LD B,B", {0x40}, 0x8002, 4, 4, {}, {}, {}, {}, {}},
        {"LD B,C", {0x41}, 0x8002, 4, 4, {}, {}, {{BC, 0x0C0C}}, {}, {}},
        {"LD B,D", {0x42}, 0x8002, 4, 4, {}, {}, {{BC, 0x0D0C}}, {}, {}},
        {"LD B,E", {0x43}, 0x8002, 4, 4, {}, {}, {{BC, 0x0E0C}}, {}, {}},
        {"LD C,A", {0x4F}, 0x8002, 4, 4, {}, {}, {{BC, 0x0BA7}}, {}, {}},
        {"LD D,B", {0x50}, 0x8002, 4, 4, {}, {}, {{DE, 0x0B0E}}, {}, {}},
        {"LD D,C", {0x51}, 0x8002, 4, 4, {}, {}, {{DE, 0x0C0E}}, {}, {}},
        {"LD D,D", {0x52}, 0x8002, 4, 4, {}, {}, {}, {}, {}},
        {"LD D,E", {0x53}, 0x8002, 4, 4, {}, {}, {{DE, 0x0E0E}}, {}, {}},
        {"LD D,A", {0x57}, 0x8002, 4, 4, {}, {}, {{DE, 0xA70E}}, {}, {}},
        {"LD E,B", {0x58}, 0x8002, 4, 4, {}, {}, {{DE, 0x0D0B}}, {}, {}},
        {"LD E,C", {0x59}, 0x8002, 4, 4, {}, {}, {{DE, 0x0D0C}}, {}, {}},
        {"LD E,D", {0x5A}, 0x8002, 4, 4, {}, {}, {{DE, 0x0D0D}}, {}, {}},
        {"LD E,E", {0x5B}, 0x8002, 4, 4, {}, {}, {}, {}, {}},
        {"LD E,A", {0x5F}, 0x8002, 4, 4, {}, {}, {{DE, 0x0DA7}}, {}, {}},
        {"LD A,B", {0x78}, 0x8002, 4, 4, {}, {}, {{AF, 0x0B00}}, {}, {}},
        {"LD A,C", {0x79}, 0x8002, 4, 4, {}, {}, {{AF, 0x0C00}}, {}, {}},
        {"LD A,D", {0x7A}, 0x8002, 4, 4, {}, {}, {{AF, 0x0D00}}, {}, {}},
        {"LD A,E", {0x7B}, 0x8002, 4, 4, {}, {}, {{AF, 0x0E00}}, {}, {}},
        {"LD A,A", {0x7F}, 0x8002, 4, 4, {}, {}, {}, {}, {}},
        {"ADD A,B", {0x80}, 0x8002, 4, 4, {{AF, 0x7F00}, {BC, 0x010C}}, {}, {{AF, 0x8094}}, {}, {}},
        {"ADD A,C", {0x81}, 0x8002, 4, 4, {{AF, 0xFF00}, {BC, 0x0B01}}, {}, {{AF, 0x0051}}, {}, {}},
        {"ADD A,D", {0x82}, 0x8002, 4, 4, {{AF, 0x8000}, {DE, 0x800E}}, {}, {{AF, 0x0045}}, {}, {}},
        {"ADD A,E", {0x83}, 0x8002, 4, 4, {{AF, 0x0800}, {DE, 0x0D08}}, {}, {{AF, 0x1010}}, {}, {}},
        {"ADD A,A", {0x87}, 0x8002, 4, 4, {{AF, 0x4400}}, {}, {{AF, 0x888C}}, {}, {}},
        {"ADC A,B", {0x88}, 0x8002, 4, 4, {{AF, 0x7F01}, {BC, 0x000C}}, {}, {{AF, 0x8094}}, {}, {}},
        {"ADC A,C", {0x89}, 0x8002, 4, 4, {{AF, 0xFF01}, {BC, 0x0B00}}, {}, {{AF, 0x0051}}, {}, {}},
        {"ADC A,D", {0x8A}, 0x8002, 4, 4, {{AF, 0x0E01}, {DE, 0x010E}}, {}, {{AF, 0x1010}}, {}, {}},
        {"ADC A,E", {0x8B}, 0x8002, 4, 4, {{AF, 0x0100}, {DE, 0x0D02}}, {}, {{AF, 0x0300}}, {}, {}},
        {"HALT ends on a request with interrupts off", {0x76}, 0x8002, 4, 4, {{INTREQ, 1}}, {}, {}, {}, {}},
    });
}

// ---- The index bit page: prefix, CB, d, sub-opcode ----
TEST(IndexBitPage, Operations) {
    run_rows({
        {"RLC (XY+d) at the last attribute", {0xCB, 0x05, 0x06}, 0x8004, 23, 28, {{XY, 0x5AFA}, {AF, 0xA712}},
         {{0x5AFF, 0x80}}, {{AF, 0xA713}}, {{0x5AFF, 0x01}}, {767}},
        {"RRC (XY+d)", {0xCB, 0x00, 0x0E}, 0x8004, 23, 28, {}, {{0x6000, 0x01}}, {{AF, 0xA781}}, {{0x6000, 0x80}}, {}},
        {"RL (XY+d) takes the old carry", {0xCB, 0x00, 0x16}, 0x8004, 23, 16, {{AF, 0xA701}}, {{0x6000, 0x00}},
         {{AF, 0xA700}}, {{0x6000, 0x01}}, {}},
        {"RL (XY+d) with no carry", {0xCB, 0x00, 0x16}, 0x8004, 23, 16, {}, {{0x6000, 0x80}}, {{AF, 0xA745}},
         {{0x6000, 0x00}}, {}},
        {"RR (XY+d)", {0xCB, 0x00, 0x1E}, 0x8004, 23, 28, {}, {{0x6000, 0x01}}, {{AF, 0xA745}}, {{0x6000, 0x00}}, {}},
        {"RR (XY+d) takes the old carry", {0xCB, 0x00, 0x1E}, 0x8004, 23, 28, {{AF, 0xA701}}, {{0x6000, 0x02}},
         {{AF, 0xA784}}, {{0x6000, 0x81}}, {}},
        {"SLA (XY+d)", {0xCB, 0x00, 0x26}, 0x8004, 23, 28, {}, {{0x6000, 0x81}}, {{AF, 0xA701}}, {{0x6000, 0x02}}, {}},
        {"SRA (XY+d)", {0xCB, 0x00, 0x2E}, 0x8004, 23, 28, {}, {{0x6000, 0x81}}, {{AF, 0xA785}}, {{0x6000, 0xC0}}, {}},
        {"SRL (XY+d)", {0xCB, 0x00, 0x3E}, 0x8004, 23, 28, {}, {{0x6000, 0x81}}, {{AF, 0xA701}}, {{0x6000, 0x40}}, {}},
        {"BIT 7,(XY+d) keeps H, N and C", {0xCB, 0x00, 0x7E}, 0x8004, 20, 24, {{AF, 0xA713}}, {{0x6000, 0x80}},
         {{AF, 0xA793}}, {}, {}},
        {"BIT 0,(XY+d) on a clear bit", {0xCB, 0x00, 0x46}, 0x8004, 20, 24, {}, {{0x6000, 0xFE}}, {{AF, 0xA744}}, {},
         {}},
        {"BIT 3,(XY+d) sets bit 3 of F", {0xCB, 0x03, 0x5E}, 0x8004, 20, 24, {}, {{0x6003, 0x08}}, {{AF, 0xA708}}, {},
         {}},
        {"RES 0,(XY+d)", {0xCB, 0x00, 0x86}, 0x8004, 23, 28, {}, {{0x6000, 0xFF}}, {}, {{0x6000, 0xFE}}, {}},
        {"RES 7,(XY+d)", {0xCB, 0x00, 0xBE}, 0x8004, 23, 28, {}, {{0x6000, 0xFF}}, {}, {{0x6000, 0x7F}}, {}},
        {"RES 3,(XY+d) past the attributes", {0xCB, 0x00, 0x9E}, 0x8004, 23, 28, {{XY, 0x5B00}}, {{0x5B00, 0xFF}}, {},
         {{0x5B00, 0xF7}}, {}},
        {"SET 0,(XY+d) d = -1 into the screen", {0xCB, 0xFF, 0xC6}, 0x8004, 23, 28, {{XY, 0x4001}}, {}, {},
         {{0x4000, 0x01}}, {0}},
        {"SET 7,(XY+d)", {0xCB, 0x00, 0xFE}, 0x8004, 23, 28, {}, {}, {}, {{0x6000, 0x80}}, {}},
        {"SET 5,(XY+d) wraps to 0xFFFF", {0xCB, 0xFF, 0xEE}, 0x8004, 23, 28, {{XY, 0x0000}}, {}, {}, {{0xFFFF, 0x20}},
         {}},
        {"SET 0,(XY+d) on the ROM leaves it", {0xCB, 0x00, 0xC6}, 0x8004, 23, 28, {{XY, 0x0000}}, {{0x0000, 0x80}},
         {}, {{0x0000, 0x81}}, {}},
        {"SLL (XY+d) is swallowed", {0xCB, 0x00, 0x36}, 0x8004, 0, 0, {}, {{0x6000, 0x81}}, {}, {}, {}},
        {"RLC (XY+d),B is swallowed", {0xCB, 0x00, 0x00}, 0x8004, 0, 0, {}, {{0x6000, 0x81}}, {}, {}, {}},
        {"SET 0,(XY+d),A is swallowed", {0xCB, 0x00, 0xC7}, 0x8004, 0, 0, {}, {{0x6000, 0x80}}, {}, {}, {}},
    });
}

// ---- The choices for opcodes that the machine's timing lists under one prefix only ----
// After the other prefix they act the same, with that prefix's own index
// register, for the same charge.
TEST(IndexPage, OnePrefixOpcodesRunAfterBoth) {
    run_rows({
        {"LD C,XYh (listed for DD)", {0x4C}, 0x8002, 8, 8, {{XY, 0x9A3C}}, {}, {{BC, 0x0B9A}}, {}, {}},
        {"AND XYl (listed for DD)", {0xA5}, 0x8002, 8, 8, {{AF, 0xFF00}, {XY, 0x0081}}, {}, {{AF, 0x8184}}, {}, {}},
        {"OR XYh (listed for DD)", {0xB4}, 0x8002, 8, 8, {{AF, 0x2000}, {XY, 0x08FF}}, {}, {{AF, 0x282C}}, {}, {}},
        {"CALL nn (listed for DD) costs 17", {0xCD, 0x34, 0x12}, 0x1234, 17, 17, {}, {}, {{SP, 0xEFFE}},
         {{0xEFFF, 0x80}, {0xEFFE, 0x04}}, {}},
        {"SUB XYl (listed for FD)", {0x95}, 0x8002, 8, 8, {{AF, 0x8000}, {XY, 0xFF01}}, {}, {{AF, 0x7F3E}}, {}, {}},
        {"LD A,(nn) (listed for FD) costs 20", {0x3A, 0xFF, 0xFF}, 0x8004, 20, 20, {}, {{0xFFFF, 0x66}},
         {{AF, 0x6600}}, {}, {}},
        {"HALT (listed for FD) goes back onto the 0x76", {0x76}, 0x8001, 4, 4, {}, {}, {}, {}, {}},
        {"BIT 1 with bits 0-2 = 0 tests (XY+d)", {0xCB, 0x01, 0x48}, 0x8004, 20, 24, {{AF, 0xA744}}, {{0x6001, 0x02}},
         {{AF, 0xA700}}, {}, {}},
        {"BIT 6 with bits 0-2 = 7 tests (XY+d)", {0xCB, 0x01, 0x77}, 0x8004, 20, 24, {}, {{0x6001, 0xBF}},
         {{AF, 0xA744}}, {}, {}},
    });
}

// ---- Swallowed opcodes and a second prefix (the sweeps below check every other swallowed opcode) ----
TEST(IndexPage, SwallowedAndRepeatedPrefixes) {
    run_rows({
        {"LD BC,nn is swallowed and leaves its operand", {0x01, 0x34, 0x12}, 0x8002, 0, 0, {}, {}, {}, {}, {}},
        {"ED is swallowed and the byte after it runs unprefixed", {0xED, 0xB0}, 0x8002, 0, 0, {}, {}, {}, {}, {}},
        {"a DD after a prefix is decoded afresh", {0xDD, 0x21}, 0x8001, 4, 4, {}, {}, {}, {}, {}},
        {"an FD after a prefix is decoded afresh", {0xFD, 0x21}, 0x8001, 4, 4, {}, {}, {}, {}, {}},
    });
}

TEST(IndexPage, SecondPrefixThenItsInstruction) {
    for (const auto &first : prefixes)
        for (const auto &second : prefixes) {
            SCOPED_TRACE(std::string(first.name) + " then " + second.name);
            z80_fresh();
            z80_program({first.byte, second.byte, 0x21, 0x34, 0x12});
            EXPECT_EQ(z80_step_cost(), 4);
            EXPECT_EQ(pc, 0x8001);
            EXPECT_EQ(r_reg, 2);
            EXPECT_EQ(z80_step_cost(), second.byte == 0xDD ? 19 : 16);
            EXPECT_EQ(second.xy->w, 0x1234);
            EXPECT_EQ(second.other->w, 0x0000);
            EXPECT_EQ(pc, 0x8005);
            EXPECT_EQ(r_reg, 4);
        }
}

// A HALT after a prefix that meets a request with interrupts on ends, and the
// interrupt pushes the address after the 0x76.
TEST(IndexPage, HaltAfterPrefixTakesThePendingInterrupt) {
    for (const auto &p : prefixes) {
        SCOPED_TRACE(p.name);
        z80_fresh();
        z80_program({p.byte, 0x76});
        sp = 0xF000;
        im = 1;
        iff1 = iff2 = 1;
        intreq = 1;
        EXPECT_EQ(z80_step_cost(), 4 + 13);
        EXPECT_EQ(pc, 0x0038);
        EXPECT_EQ(sp, 0xEFFE);
        EXPECT_EQ(ram[0xEFFE], 0x02);
        EXPECT_EQ(ram[0xEFFF], 0x80);
        EXPECT_EQ(intreq, 0);
    }
}

// R counts all eight bits, from every prefix and the bit page's sub-opcode.
TEST(IndexPage, RefreshCountsThroughBit7) {
    struct r_case {
        std::vector<uint8_t> code;
        uint8_t r_in, r_out;
    };
    const r_case cases[] = {
        {{0x00}, 0xFF, 0x01},              // swallowed
        {{0x21, 0, 0}, 0x7E, 0x80},        // LD XY,nn
        {{0xCB, 0, 0x06}, 0xFE, 0x01},     // RLC (XY+d)
        {{0xCB, 0, 0x36}, 0x7D, 0x80},     // swallowed sub-opcode
        {{0xDD}, 0xFF, 0x01},              // second prefix
    };
    for (const auto &p : prefixes)
        for (const auto &rc : cases) {
            SCOPED_TRACE(std::string(p.name) + " " + std::to_string(rc.code[0]));
            z80_fresh();
            z80_poke(org, {p.byte});
            for (size_t k = 0; k < rc.code.size(); ++k) z80_poke(uint16_t(org + 1 + k), {rc.code[k]});
            pc = org;
            r_reg = rc.r_in;
            z80_step_cost();
            EXPECT_EQ(r_reg, rc.r_out);
        }
}

// ---- Sweeps over every opcode ----

struct charge_group {
    std::vector<uint8_t> ops;
    int dd, fd;
};

// The charges of the opcode page as the machine's timing lists them. Every
// opcode not listed here, and 0xCB (charged by its bit page), costs 0.
const std::vector<charge_group> page_charges = {
    {{0x09, 0x19, 0x29, 0x39}, 15, 16},                             // ADD XY,rr
    {{0x21}, 19, 16},                                               // LD XY,nn
    {{0x22}, 20, 24},                                               // LD (nn),XY
    {{0x2A}, 19, 24},                                               // LD XY,(nn)
    {{0x23, 0x2B}, 10, 8},                                          // INC XY, DEC XY
    {{0x24, 0x25}, 8, 8},                                           // INC XYh, DEC XYh
    {{0x2C, 0x2D}, 10, 8},                                          // INC XYl, DEC XYl
    {{0x26}, 19, 12},                                               // LD XYh,n
    {{0x2E}, 14, 14},                                               // LD XYl,n
    {{0x34, 0x35}, 23, 12},                                         // INC (XY+d), DEC (XY+d)
    {{0x36}, 19, 24},                                               // LD (XY+d),n
    {{0x46, 0x4E, 0x56, 0x5E, 0x66, 0x6E, 0x7E}, 19, 24},           // LD r,(XY+d)
    {{0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x77}, 19, 24},           // LD (XY+d),r
    {{0x44, 0x54, 0x5C, 0x7C, 0x45, 0x55, 0x5D, 0x7D}, 8, 8},       // LD r,XYh / LD r,XYl
    {{0x60, 0x61, 0x62, 0x63, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6F}, 8, 8},  // LD XYh,r / LD XYl,r
    {{0x64, 0x65, 0x6C, 0x6D}, 8, 8},                               // index halves from H and L
    {{0x84, 0x85, 0x9C, 0x9D, 0xAC, 0xAD, 0xBC, 0xBD}, 8, 8},       // ALU with XYh, XYl
    {{0x86, 0x8E, 0x96, 0x9E, 0xA6, 0xAE, 0xB6, 0xBE}, 19, 19},     // ALU with (XY+d)
    {{0xDD, 0xFD}, 4, 4},                                           // prefix after prefix
    {{0xE1}, 14, 16},                                               // POP XY
    {{0xE3}, 23, 23},                                               // EX (SP),XY
    {{0xE5}, 15, 20},                                               // PUSH XY
    {{0xE9}, 8, 8},                                                 // JP (XY)
    {{0xF9}, 10, 10},                                               // LD SP,XY
    // Listed for DD only; the same after FD.
    {{0x4C, 0x4D, 0xA4, 0xA5, 0xB4, 0xB5}, 8, 8},                   // LD C,XYh/l, AND and OR XYh/l
    {{0xCD}, 17, 17},                                               // CALL nn
    // Listed for FD only; the same after DD.
    {{0x94, 0x95}, 8, 8},                                           // SUB XYh/l
    {{0x3A}, 20, 20},                                               // LD A,(nn)
    {{0x3B}, 6, 6},                                                 // DEC SP
    {{0x3E}, 7, 7},                                                 // LD A,n
    {{0x3C, 0x3D, 0x3F, 0x40, 0x41, 0x42, 0x43, 0x4F, 0x50, 0x51, 0x52, 0x53, 0x57, 0x58, 0x59, 0x5A, 0x5B, 0x5F,
      0x76, 0x78, 0x79, 0x7A, 0x7B, 0x7F, 0x80, 0x81, 0x82, 0x83, 0x87, 0x88, 0x89, 0x8A, 0x8B},
     4, 4},                                                         // INC A, DEC A, CCF, LD r,r', HALT, ADD, ADC
};

// The whole machine must be as it was except for pc and R.
void expect_swallowed(const prefix_info &p, const machine &before, uint16_t pc_after, int r_step, int cost) {
    machine want = before;
    want.reg[PC] = pc_after;
    want.r = uint8_t(before.r + r_step);
    EXPECT_EQ(cost, 0);
    EXPECT_EQ(differences(want, capture(p)), "");
}

TEST(IndexSweep, EveryOpcodeCharge) {
    int expected[2][256] = {};
    std::set<int> listed;
    for (const auto &g : page_charges)
        for (uint8_t op : g.ops) {
            EXPECT_TRUE(listed.insert(op).second) << "opcode listed twice: " << int(op);
            expected[0][op] = g.dd;
            expected[1][op] = g.fd;
        }
    EXPECT_EQ(listed.size(), 122u);  // handled opcodes besides 0xCB
    for (int col = 0; col < 2; ++col) {
        const prefix_info &p = prefixes[col];
        for (int op = 0; op < 256; ++op) {
            if (op == 0xCB) continue;
            SCOPED_TRACE(std::string(p.name) + " opcode " + std::to_string(op));
            background(p);
            z80_poke(org, {p.byte, uint8_t(op), 0x00, 0x00, 0x00});
            pc = org;
            const machine before = capture(p);
            const int cost = z80_step_cost();
            if (expected[col][op] == 0) {
                expect_swallowed(p, before, org + 2, 2, cost);
            } else {
                EXPECT_EQ(cost, expected[col][op]);
                EXPECT_EQ(r_reg, uint8_t(before.r + 2));
            }
        }
    }
}

TEST(IndexSweep, EveryBitPageCharge) {
    for (int col = 0; col < 2; ++col) {
        const prefix_info &p = prefixes[col];
        for (int sub = 0; sub < 256; ++sub) {
            SCOPED_TRACE(std::string(p.name) + " CB sub-opcode " + std::to_string(sub));
            int want = 0;
            if (sub >= 0x40 && sub < 0x80) want = col == 0 ? 20 : 24;    // BIT, whatever bits 0-2 hold
            else if ((sub & 7) == 6 && sub != 0x36)                      // the (XY+d) forms but SLL
                want = sub == 0x16 && col == 1 ? 16 : (col == 0 ? 23 : 28);
            background(p);
            z80_poke(org, {p.byte, 0xCB, 0x00, uint8_t(sub)});
            pc = org;
            const machine before = capture(p);
            const int cost = z80_step_cost();
            if (want == 0) {
                expect_swallowed(p, before, org + 4, 3, cost);
            } else {
                EXPECT_EQ(cost, want);
                EXPECT_EQ(pc, org + 4);
                EXPECT_EQ(r_reg, uint8_t(before.r + 3));
            }
        }
    }
}

// The opcodes whose DD and FD charges differ are exactly these, so an edit
// cannot quietly align the two columns or let them drift apart.
TEST(IndexSweep, ColumnsDifferExactlyWhereExpected) {
    const std::set<int> page = {0x09, 0x19, 0x21, 0x22, 0x23, 0x26, 0x29, 0x2A, 0x2B, 0x2C, 0x2D,
                                0x34, 0x35, 0x36, 0x39, 0x46, 0x4E, 0x56, 0x5E, 0x66, 0x6E, 0x70,
                                0x71, 0x72, 0x73, 0x74, 0x75, 0x77, 0x7E, 0xE1, 0xE5};
    std::set<int> bits;
    for (int sub = 0; sub < 256; ++sub)
        if ((sub >= 0x40 && sub < 0x80) || ((sub & 7) == 6 && sub != 0x36)) bits.insert(sub);
    std::set<int> page_got, bits_got;
    for (int op = 0; op < 256; ++op) {
        if (t_xy[COL_DD][op] != t_xy[COL_FD][op]) page_got.insert(op);
        if (t_xycb[COL_DD][op] != t_xycb[COL_FD][op]) bits_got.insert(op);
    }
    EXPECT_EQ(page_got, page);
    EXPECT_EQ(bits_got, bits);
}

}  // namespace
