// Snapshot writers: the .z80 (version 3) and .sna formats of a 48K Spectrum.
//
// The builders only read the machine: they make the whole file in memory, and
// nothing of the running machine changes, also not for .sna, whose program
// counter goes onto the stack of the file's copy of memory only. The file is
// then written with write_file_atomically, so an old file of the same name is
// either replaced whole or left as it was.
//
// Two parts of the state have no place in either format and are saved as
// their nearest equivalent:
// - the EI delay (iff1 2 or 3): saved as interrupts enabled (iff1 = iff2 = 1),
//   the state the delay ends in one or two instructions later;
// - a frame interrupt waiting to be taken (intreq): not saved; the loading
//   machine's own request stands in for it, as the loaders leave intreq alone.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "files/files.h"
#include "ula/ula.h"
#include "z80/z80.h"

namespace {

using bytes = std::vector<uint8_t>;

constexpr uint16_t mem_base = 0x4000;
constexpr std::size_t mem_size = 49152;
constexpr std::size_t page_size = 16384;
constexpr std::size_t sna_header = 27;
constexpr std::size_t z80_header = 30;
constexpr std::size_t z80_v3_extra = 54;
// The first address past the screen: the display file and its attributes.
constexpr uint16_t screen_end = 0x5B00;
// T-states of a frame as the .z80 counters measure them: four quarters.
constexpr uint32_t quarter_frame = tstates_per_frame / 4;

constexpr const char *caption_cannot_save = "Cannot Save Snapshot";
constexpr const char *suggest_z80 = " Save it as .z80 instead, which holds the whole state.";

void put16(uint8_t *p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

// The interrupt flip-flops as a file can hold them: the EI delay counts as enabled.
int32_t saved_iff1() { return iff1 & 2 ? 1 : iff1 & 1; }
int32_t saved_iff2() { return iff1 & 2 ? 1 : iff2 & 1; }

// The .z80 packing of one 16 KB page: a run of five or more equal bytes, or
// of two or more EDs, becomes ED ED count byte (at most 255 in one); every
// other byte stands for itself. The byte after a lone ED is always written
// plainly, even when a run starts there, so that it cannot be read as the
// second ED of a run marker. A lone ED that ends the page is written as a run
// of one: a reader that looks at the next byte to see whether a run starts
// would otherwise find the next block's first byte there.
void pack_page(const uint8_t *m, bytes &out) {
    for (std::size_t i = 0; i < page_size;) {
        const uint8_t v = m[i];
        std::size_t run = 1;
        while (i + run < page_size && m[i + run] == v && run < 255) ++run;
        if (run >= 5 || (v == 0xED && (run >= 2 || i + 1 == page_size))) {
            out.insert(out.end(), {0xED, 0xED, uint8_t(run), v});
            i += run;
        } else {
            out.push_back(v);
            ++i;
            if (v == 0xED && i < page_size) out.push_back(m[i++]);
        }
    }
}

// One memory block: length, page number, data. A page that does not get
// smaller by packing is stored plainly, which the length 0xFFFF marks.
void put_block(bytes &out, uint8_t page, uint16_t address) {
    const uint8_t *m = ram + address;
    bytes packed;
    packed.reserve(page_size);
    pack_page(m, packed);
    const bool plain = packed.size() >= page_size;
    const std::size_t at = out.size();
    out.resize(at + 3);
    put16(&out[at], plain ? uint16_t(0xFFFF) : uint16_t(packed.size()));
    out[at + 2] = page;
    if (plain)
        out.insert(out.end(), m, m + page_size);
    else
        out.insert(out.end(), packed.begin(), packed.end());
}

// Why a .sna cannot hold the machine as it is, or "" when it can. A .sna
// keeps the program counter on the stack (its loader pops it as RETN would,
// setting iff1 from the one flip-flop the file has) and holds only the RAM.
std::string sna_refusal() {
    // The two bytes below sp must lie in RAM, away from the screen; sp 0
    // pushes to 0xFFFE and 0xFFFF.
    const char *pushed = sp == 0 ? nullptr
                         : sp < mem_base + 2
                             ? "would lie in the ROM, outside the memory the file holds"
                         : sp - 2 < screen_end ? "would be written over the screen (0x4000 to 0x5AFF)"
                                               : nullptr;
    if (pushed) {
        char where[8];
        std::snprintf(where, sizeof where, "0x%04X", unsigned(sp));
        return std::string("The stack pointer is ") + where +
               ": a .sna keeps the program counter on the stack, and there it " + pushed + "." + suggest_z80;
    }
    if (saved_iff1() != saved_iff2())
        return "Interrupts are disabled while the second interrupt flip-flop (iff2) still says "
               "enabled: a .sna holds only one of the two, and would load with interrupts enabled." +
               std::string(suggest_z80);
    return {};
}

}  // namespace

snapshot_format save_format(const std::string &path) {
    const std::size_t dot = snapshot_extension(path);
    if (path.size() - dot != 3) return snapshot_format::none;
    std::string ext;
    for (std::size_t k = dot; k < path.size(); ++k) ext += char(std::tolower(uint8_t(path[k])));
    if (ext == "z80") return snapshot_format::z80;
    if (ext == "sna") return snapshot_format::sna;
    return snapshot_format::none;
}

std::vector<uint8_t> savez80_bytes() {
    bytes out(z80_header + 2 + z80_v3_extra, 0);
    uint8_t *h = out.data();
    h[0] = af.by.hi;
    h[1] = af.by.lo;
    put16(h + 2, bc.w);
    put16(h + 4, hl.w);
    // h[6..7], pc, stays 0: it marks a version 2 or 3 file, which has pc in its extra header.
    put16(h + 8, sp);
    h[10] = ir.by.hi;
    h[11] = ir.by.lo & 0x7F;
    h[12] = uint8_t(ir.by.lo >> 7 | (uladat & 7) << 1);  // R bit 7, the border colour
    put16(h + 13, de.w);
    put16(h + 15, sbc.w);
    put16(h + 17, sde.w);
    put16(h + 19, shl.w);
    h[21] = saf.by.hi;
    h[22] = saf.by.lo;
    put16(h + 23, iy.w);
    put16(h + 25, ix.w);
    h[27] = uint8_t(saved_iff1());
    h[28] = uint8_t(saved_iff2());
    h[29] = uint8_t(im & 3);

    put16(h + 30, uint16_t(z80_v3_extra));
    put16(h + 32, pc);
    h[34] = 0;     // a 48K Spectrum
    h[37] = 0x03;  // R and the block instructions are emulated exactly
    // Where in the frame the machine stands. Between frames the debt of the
    // last instruction is already the next frame's time. The low counter
    // runs down from 17471 in each quarter frame, the high one counts the
    // quarters from 3 just after the frame interrupt.
    const uint32_t t = cycles < 0 ? uint32_t(-cycles) % uint32_t(tstates_per_frame) : 0;
    put16(h + 55, uint16_t(quarter_frame - 1 - t % quarter_frame));
    h[57] = uint8_t((t / quarter_frame + 3) % 4);
    h[61] = h[62] = 0xFF;  // 0x0000..0x3FFF is ROM

    put_block(out, 4, 0x8000);
    put_block(out, 5, 0xC000);
    put_block(out, 8, 0x4000);
    return out;
}

bool savesna_bytes(std::vector<uint8_t> &out, std::string &reason) {
    reason = sna_refusal();
    if (!reason.empty()) return false;
    out.assign(sna_header + mem_size, 0);
    uint8_t *h = out.data();
    const uint16_t pushed = uint16_t(sp - 2);
    h[0] = ir.by.hi;
    put16(h + 1, shl.w);
    put16(h + 3, sde.w);
    put16(h + 5, sbc.w);
    put16(h + 7, saf.w);
    put16(h + 9, hl.w);
    put16(h + 11, de.w);
    put16(h + 13, bc.w);
    put16(h + 15, iy.w);
    put16(h + 17, ix.w);
    h[19] = uint8_t(saved_iff2() << 2);
    h[20] = ir.by.lo;
    h[21] = af.by.lo;
    h[22] = af.by.hi;
    put16(h + 23, pushed);
    h[25] = uint8_t(im & 3);
    h[26] = uladat & 7;
    uint8_t *mem = h + sna_header;
    std::memcpy(mem, ram + mem_base, mem_size);
    // The program counter as PUSH would store it, into the copy only.
    mem[pushed - mem_base] = uint8_t(pc);
    mem[uint16_t(pushed + 1) - mem_base] = uint8_t(pc >> 8);
    return true;
}

snapshot_result savesnapshot(const std::string &path) {
    bytes data;
    std::string reason;
    switch (save_format(path)) {
    case snapshot_format::z80: data = savez80_bytes(); break;
    case snapshot_format::sna:
        if (!savesna_bytes(data, reason)) return {false, caption_cannot_save, path + "\n\n" + reason};
        break;
    case snapshot_format::none:
        return {false, caption_cannot_save, path + "\n\nThe name does not end in .z80 or .sna."};
    }
    if (!write_file_atomically(path, data.data(), data.size(), reason)) {
        // The system's words end without a full stop, the writer's own with one.
        const bool sentence = !reason.empty() && reason.back() == '.';
        return {false, caption_cannot_save,
                path + "\n\nThe file cannot be written" + (sentence ? ". " + reason : ": " + reason + ".")};
    }
    return {true, {}, {}};
}
