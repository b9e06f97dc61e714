// Snapshot loaders: the .sna and .z80 formats of a 48K Spectrum.
//
// Both loaders work in two stages. First the whole file is read into memory
// and decoded into a staged machine image (registers and the 48 KB from
// 0x4000), checking every length and every bound on the way; nothing of the
// running machine is touched. Only when the file has been accepted is the
// image copied into the machine, in one step that cannot fail. A rejected
// file therefore leaves every register, every byte of memory and every dirty
// square exactly as it was.
#include <cstring>
#include <string>
#include <vector>

#include "beam/beam.h"
#include "files/files.h"
#include "screen/screen.h"
#include "ula/ula.h"
#include "z80/z80.h"
#include "z80/z80_mem.h"

namespace {

constexpr std::size_t mem_base = 0x4000;
constexpr std::size_t mem_size = 49152;  // 0x4000..0xFFFF
constexpr std::size_t page_size = 16384;

constexpr std::size_t sna_header = 27;
constexpr std::size_t sna_size = sna_header + mem_size;  // 49179
// The two sizes of a 128K .sna: 48 KB, 4 extra bytes, then five or six more pages.
constexpr std::size_t sna128_small = sna_size + 4 + 5 * page_size;  // 131103
constexpr std::size_t sna128_large = sna_size + 4 + 6 * page_size;  // 147487

constexpr std::size_t z80_header = 30;
// No 48K snapshot comes near this; it keeps a wrong file (or a device) from
// being read without end.
constexpr std::size_t max_file_size = 1u << 20;

constexpr const char *caption_not_found = "Not Found";
constexpr const char *caption_unreadable = "Cannot Read Snapshot";
constexpr const char *caption_damaged = "Damaged Snapshot";
constexpr const char *caption_unsupported = "Unsupported Snapshot";

// The machine state a snapshot describes, complete before any of it is used.
struct machine_image {
    pair af, bc, de, hl, ix, iy, ir;
    pair saf, sbc, sde, shl;
    uint16_t sp, pc;
    int32_t iff1, iff2, im;
    uint8_t border;         // the border colour, 0..7
    uint8_t mem[mem_size];  // Spectrum addresses 0x4000..0xFFFF
};

// One image is enough: loading runs on the main thread only.
machine_image staged;
// Where the pages of other machines are unpacked, to be thrown away.
uint8_t discard[page_size];

uint16_t le16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }

snapshot_result accepted() { return {true, {}, {}}; }

snapshot_result rejected(const std::string &name, const char *caption, const std::string &reason) {
    return {false, caption, name + "\n\n" + reason};
}

std::string num(std::size_t n) { return std::to_string(n); }

// The image starts as a copy of the machine: the parts a format leaves out
// (memory after a .z80 version 1 end marker) keep what the machine held.
void stage_from_machine() {
    staged.af = af, staged.bc = bc, staged.de = de, staged.hl = hl;
    staged.ix = ix, staged.iy = iy, staged.ir = ir;
    staged.saf = saf, staged.sbc = sbc, staged.sde = sde, staged.shl = shl;
    staged.sp = sp, staged.pc = pc;
    staged.iff1 = iff1, staged.iff2 = iff2, staged.im = im;
    staged.border = uladat & 7;
    std::memcpy(staged.mem, ram + mem_base, mem_size);
}

// Replaces the machine state with the staged image. Memory goes straight
// into ram, marking no square: the caller repaints the whole picture. The
// T-state budget, the interrupt request, the ULA byte and the ROM stay; only
// while the border is shown does the ULA byte take the border colour, from
// the next frame on.
void commit_staged() {
    af = staged.af, bc = staged.bc, de = staged.de, hl = staged.hl;
    ix = staged.ix, iy = staged.iy, ir = staged.ir;
    saf = staged.saf, sbc = staged.sbc, sde = staged.sde, shl = staged.shl;
    sp = staged.sp, pc = staged.pc;
    iff1 = staged.iff1, iff2 = staged.iff2, im = staged.im;
    if (border_shown) uladat = uint8_t((uladat & ~7) | staged.border);
    std::memcpy(ram + mem_base, staged.mem, mem_size);
}

// ---- The .z80 compression ----
//
// ED ED nn bb stands for nn copies of bb; every other byte, a lone ED
// included, stands for itself. An ED is held back one byte until it is known
// not to start a run. In version 1 images, 00 ED ED 00 ends the data.

enum class unpack_status { filled, marker, ended_early, overflow };

struct unpack_result {
    unpack_status status;
    std::size_t used;  // source bytes consumed
};

// Unpacks src[0..n) into dst[0..size). Stops when dst is full, at the end
// marker (when active), when the source runs out, or before a run would go
// past the end of dst. A lone ED that fills the last byte of dst finishes
// the block without taking the byte after it, which belongs to what follows
// (or is not there at all).
unpack_result unpack(const uint8_t *src, std::size_t n, uint8_t *dst, std::size_t size, bool end_marker) {
    std::size_t i = 0, k = 0;
    uint8_t older = 0, prev = 0, cur = 0;  // the last three source bytes
    for (;;) {
        if (i == n) {
            // A held-back ED that is the very last byte still fills the last byte of dst.
            if (cur == 0xED && k == size - 1) {
                dst[k] = 0xED;
                return {unpack_status::filled, i};
            }
            return {unpack_status::ended_early, i};
        }
        older = prev;
        prev = cur;
        cur = src[i++];
        if (prev == 0xED && cur == 0xED) {
            if (i == n) return {unpack_status::ended_early, i};
            uint8_t count = src[i++];
            if (end_marker && older == 0 && count == 0) return {unpack_status::marker, i};
            if (i == n) return {unpack_status::ended_early, i};
            uint8_t value = src[i++];
            if (count > size - k) return {unpack_status::overflow, i};
            std::memset(dst + k, value, count);
            k += count;
            cur = 0;  // the two EDs of a run never pair with what follows
        } else {
            if (prev == 0xED) {
                dst[k++] = 0xED;
                if (k == size) return {unpack_status::filled, i - 1};
            }
            if (cur != 0xED) dst[k++] = cur;
        }
        if (k == size) return {unpack_status::filled, i};
    }
}

// ---- .z80 machine types ----

struct machine_name {
    uint8_t type;
    const char *name;
};

// Hardware types of version 2 files (extra header of 23 bytes).
constexpr machine_name v2_machines[] = {
    {0, "a 48K Spectrum"},
    {1, "a 48K Spectrum with Interface 1"},
    {2, "a SamRam"},
    {3, "a 128K Spectrum"},
    {4, "a 128K Spectrum with Interface 1"},
};
// Hardware types of version 3 files (extra header of 54 or 55 bytes).
constexpr machine_name v3_machines[] = {
    {0, "a 48K Spectrum"},
    {1, "a 48K Spectrum with Interface 1"},
    {2, "a SamRam"},
    {3, "a 48K Spectrum with an M.G.T. interface"},
    {4, "a 128K Spectrum"},
    {5, "a 128K Spectrum with Interface 1"},
    {6, "a 128K Spectrum with an M.G.T. interface"},
    {7, "a Spectrum +3"},
    {8, "a Spectrum +3"},
    {9, "a Pentagon 128K"},
    {10, "a Scorpion 256K"},
    {11, "a Didaktik Kompakt"},
    {12, "a Spectrum +2"},
    {13, "a Spectrum +2A"},
    {14, "a TC2048"},
    {15, "a TC2068"},
    {128, "a TS2068"},
};

template <std::size_t N>
std::string lookup(const machine_name (&table)[N], uint8_t type) {
    for (const machine_name &m : table)
        if (m.type == type) return m.name;
    return "an unknown machine (hardware type " + num(type) + ")";
}

// A 48K machine, with or without a peripheral that adds no memory of its own
// to the 64 KB map.
bool is_48k(bool version3, uint8_t type) {
    return type == 0 || type == 1 || (version3 && type == 3);
}

// Where a page of a 48K machine lies in the staged image; -1 for any other page.
int page_offset(uint8_t page) {
    switch (page) {
    case 8: return 0x0000;  // 0x4000
    case 4: return 0x4000;  // 0x8000
    case 5: return 0x8000;  // 0xC000
    default: return -1;
    }
}

// The version 2 and 3 memory: blocks of one 16 KB page each, until all three
// pages of the 48K machine have been read. Pages of other machines
// (a Multiface or interface ROM) are unpacked and dropped.
snapshot_result stage_z80_pages(const uint8_t *data, std::size_t size, std::size_t pos,
                                const std::string &name) {
    bool have8 = false, have4 = false, have5 = false;
    for (int block = 1; !(have8 && have4 && have5); ++block) {
        if (pos == size) {
            std::string missing;
            for (auto [page, seen] : {std::pair{8, have8}, {4, have4}, {5, have5}})
                if (!seen) missing += (missing.empty() ? "" : ", ") + num(page);
            return rejected(name, caption_damaged,
                            "The file ends without memory page " + missing +
                                "; a 48K snapshot holds pages 8, 4 and 5 (0x4000, 0x8000 and 0xC000).");
        }
        if (size - pos < 3)
            return rejected(name, caption_damaged,
                            "The file ends inside the header of memory block " + num(block) + ".");
        uint16_t length = le16(data + pos);
        uint8_t page = data[pos + 2];
        pos += 3;
        int offset = page_offset(page);
        uint8_t *dst = offset < 0 ? discard : staged.mem + offset;
        std::string what = "Memory block " + num(block) + " (page " + num(page) + ")";
        if (length == 0xFFFF) {
            if (size - pos < page_size)
                return rejected(name, caption_damaged,
                                what + " ends after " + num(size - pos) + " of its 16384 bytes.");
            std::memcpy(dst, data + pos, page_size);
            pos += page_size;
        } else {
            unpack_result r = unpack(data + pos, size - pos, dst, page_size, false);
            if (r.status == unpack_status::overflow)
                return rejected(name, caption_damaged, what + " unpacks to more than 16384 bytes.");
            if (r.status != unpack_status::filled)
                return rejected(name, caption_damaged, what + " ends before its 16384 bytes are unpacked.");
            pos += r.used;
        }
        have8 |= page == 8;
        have4 |= page == 4;
        have5 |= page == 5;
    }
    return accepted();
}

snapshot_result stage_z80(const uint8_t *data, std::size_t size, const std::string &name) {
    if (size < z80_header)
        return rejected(name, caption_damaged,
                        "The file holds " + num(size) + " bytes and ends inside the 30-byte .z80 header.");
    const uint8_t *h = data;
    staged.af.by.hi = h[0];
    staged.af.by.lo = h[1];
    staged.bc.w = le16(h + 2);
    staged.hl.w = le16(h + 4);
    staged.pc = le16(h + 6);
    staged.sp = le16(h + 8);
    staged.ir.by.hi = h[10];
    uint8_t flags = h[12] == 255 ? 1 : h[12];  // 255 comes from old writers and means 1
    staged.ir.by.lo = uint8_t((h[11] & 0x7F) | (flags & 1) << 7);
    staged.border = (flags >> 1) & 7;
    staged.de.w = le16(h + 13);
    staged.sbc.w = le16(h + 15);
    staged.sde.w = le16(h + 17);
    staged.shl.w = le16(h + 19);
    staged.saf.by.hi = h[21];
    staged.saf.by.lo = h[22];
    staged.iy.w = le16(h + 23);
    staged.ix.w = le16(h + 25);
    staged.iff1 = h[27] & 1;
    staged.iff2 = h[28] & 1;
    staged.im = h[29] & 3;

    if (staged.pc != 0) {
        // Version 1: the 48 KB follow the header, plain or packed.
        const uint8_t *src = data + z80_header;
        std::size_t n = size - z80_header;
        if (!(flags & 0x20)) {
            if (n < mem_size)
                return rejected(name, caption_damaged,
                                "The memory image ends after " + num(n) + " of its 49152 bytes.");
            std::memcpy(staged.mem, src, mem_size);
            return accepted();
        }
        unpack_result r = unpack(src, n, staged.mem, mem_size, true);
        if (r.status == unpack_status::overflow)
            return rejected(name, caption_damaged, "The packed memory image unpacks past address 0xFFFF.");
        if (r.status == unpack_status::ended_early)
            return rejected(name, caption_damaged,
                            "The packed memory image ends before its end marker and before 49152 bytes "
                            "are unpacked.");
        return accepted();
    }

    // Versions 2 and 3: an extra header, then memory pages.
    if (size < z80_header + 2)
        return rejected(name, caption_damaged, "The file ends before the length of its extra header.");
    std::size_t extra = le16(data + 30);
    if (extra != 23 && extra != 54 && extra != 55)
        return rejected(name, caption_unsupported,
                        "The extra header is " + num(extra) +
                            " bytes long; .z80 versions 2 and 3 have 23, 54 or 55.");
    std::size_t first_block = z80_header + 2 + extra;
    if (size < first_block)
        return rejected(name, caption_damaged,
                        "The file ends inside its " + num(extra) + "-byte extra header.");
    staged.pc = le16(data + 32);
    bool version3 = extra != 23;
    uint8_t type = data[34];
    bool modified = data[37] & 0x80;  // turns a 48K into a 16K machine
    if (!is_48k(version3, type) || modified) {
        std::string machine = !is_48k(version3, type)
                                  ? (version3 ? lookup(v3_machines, type) : lookup(v2_machines, type))
                                  : "a 16K Spectrum";
        return rejected(name, caption_unsupported,
                        "The snapshot was saved from " + machine + "; only 48K Spectrum snapshots can be loaded.");
    }
    return stage_z80_pages(data, size, first_block, name);
}

snapshot_result stage_sna(const uint8_t *data, std::size_t size, const std::string &name) {
    if (size == sna128_small || size == sna128_large)
        return rejected(name, caption_unsupported,
                        "The file holds " + num(size) +
                            " bytes, the size of a 128K Spectrum snapshot; only 48K snapshots can be loaded.");
    if (size < sna_size)
        return rejected(name, caption_damaged,
                        "The file holds " + num(size) +
                            " bytes; a 48K .sna snapshot holds 49179 (a 27-byte header and 48 KB of memory).");
    const uint8_t *h = data;
    staged.ir.by.hi = h[0];
    staged.shl.w = le16(h + 1);
    staged.sde.w = le16(h + 3);
    staged.sbc.w = le16(h + 5);
    staged.saf.w = le16(h + 7);
    staged.hl.w = le16(h + 9);
    staged.de.w = le16(h + 11);
    staged.bc.w = le16(h + 13);
    staged.iy.w = le16(h + 15);
    staged.ix.w = le16(h + 17);
    staged.iff1 = staged.iff2 = (h[19] >> 2) & 1;  // IFF2 is bit 2
    staged.ir.by.lo = h[20];
    staged.af.by.lo = h[21];
    staged.af.by.hi = h[22];
    staged.sp = le16(h + 23);
    staged.im = h[25];
    staged.border = h[26] & 7;
    std::memcpy(staged.mem, data + sna_header, mem_size);
    return accepted();
}

// Reads a whole file. Returns an accepted result with the bytes, or the
// reason it could not; a FIFO, socket, device or folder is refused at once.
snapshot_result read_file(const char *path, std::vector<uint8_t> &bytes) {
    std::string name = path ? path : "";
    // The system's reason comes without a full stop, read_whole_file's own with one.
    auto with_reason = [](const char *what, const std::string &reason) {
        return what + reason + (reason.empty() || reason.back() != '.' ? "." : "");
    };
    file_read got = read_whole_file(name, max_file_size, bytes);
    switch (got.failure) {
    case read_failure::none: return accepted();
    case read_failure::cannot_open:
        return rejected(name, caption_not_found, with_reason("The file cannot be opened: ", got.reason));
    case read_failure::not_regular: return rejected(name, caption_unreadable, got.reason);
    case read_failure::too_large:
        return rejected(name, caption_unsupported, "The file is larger than 1 MB, far larger than any 48K snapshot.");
    case read_failure::read_error: break;
    }
    return rejected(name, caption_unreadable, with_reason("The file cannot be read: ", got.reason));
}

}  // namespace

snapshot_result opensna_bytes(const uint8_t *data, std::size_t size, const std::string &name) {
    stage_from_machine();
    snapshot_result result = stage_sna(data, size, name);
    if (!result.ok) return result;
    commit_staged();
    // The program counter is on top of the saved stack: pop it as RET would,
    // through the read pages (so a byte below 0x4000 comes from the ROM),
    // and wipe the two stack bytes through the write rule, which marks their
    // squares when they lie in display memory.
    pc = rd16(sp);
    wr8(sp, 0);
    wr8(uint16_t(sp + 1), 0);
    sp = uint16_t(sp + 2);
    return result;
}

snapshot_result openz80_bytes(const uint8_t *data, std::size_t size, const std::string &name) {
    stage_from_machine();
    snapshot_result result = stage_z80(data, size, name);
    if (result.ok) commit_staged();
    return result;
}

snapshot_result opensna(const char *path) {
    std::vector<uint8_t> bytes;
    snapshot_result result = read_file(path, bytes);
    if (!result.ok) return result;
    return opensna_bytes(bytes.data(), bytes.size(), path);
}

snapshot_result openz80(const char *path) {
    std::vector<uint8_t> bytes;
    snapshot_result result = read_file(path, bytes);
    if (!result.ok) return result;
    return openz80_bytes(bytes.data(), bytes.size(), path);
}

std::size_t snapshot_extension(const std::string &path) {
    std::size_t slash = path.find_last_of('/');
    std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < base) return path.size();
    return dot + 1;
}

snapshot_result opensnapshot(const std::string &path, std::size_t extension) {
    char first = extension < path.size() ? path[extension] : '\0';
    if (first == 'Z' || first == 'z') return openz80(path.c_str());
    return opensna(path.c_str());
}
