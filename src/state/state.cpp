// The machine's state record and the rewind history.
#include "state/state.h"

#include <cstring>
#include <deque>

#include "screen/screen.h"
#include "ula/ula.h"

namespace {

void capture_cpu(cpu_record &c) {
    c.af = af, c.bc = bc, c.de = de, c.hl = hl, c.ix = ix, c.iy = iy, c.ir = ir;
    c.saf = saf, c.sbc = sbc, c.sde = sde, c.shl = shl;
    c.sp = sp, c.pc = pc;
    c.iff1 = iff1, c.iff2 = iff2, c.im = im, c.intreq = intreq, c.cycles = cycles, c.tempc = tempc;
    c.uladat = uladat;
}

void restore_cpu(const cpu_record &c) {
    af = c.af, bc = c.bc, de = c.de, hl = c.hl, ix = c.ix, iy = c.iy, ir = c.ir;
    saf = c.saf, sbc = c.sbc, sde = c.sde, shl = c.shl;
    sp = c.sp, pc = c.pc;
    iff1 = c.iff1, iff2 = c.iff2, im = c.im, intreq = c.intreq, cycles = c.cycles, tempc = c.tempc;
    uladat = c.uladat;
}

}  // namespace

void capture_state(machine_state &out) {
    capture_cpu(out.cpu);
    capture_tape_side(out.tape);
    out.ram.assign(ram, ram + ram_size);
}

void restore_state(const machine_state &in) {
    restore_cpu(in.cpu);
    restore_tape_side(in.tape);
    if (in.ram.size() == std::size_t(ram_size)) std::memcpy(ram, in.ram.data(), ram_size);
    fill_dsquares();
}

// ---- The rewind history ----
//
// A difference is a list of runs over ram taken as 8-byte words: the number
// of equal words passed over and the number of differing words (two bytes
// each, little-endian), then those words XORed. XORing them into one ram
// gives the other.

namespace {

constexpr int words = ram_size / 8;
static_assert(words <= 0xFFFF, "run lengths are 16-bit");

struct kept {
    int64_t frame;
    cpu_record cpu;
    tape_side tape;
    std::vector<uint8_t> older;  // from the next newer state's ram to this one's; empty for the newest
};

std::deque<kept> ring;
int length = 0;
std::vector<uint8_t> newest_ram;  // the newest state's ram
std::vector<uint8_t> shown_ram;   // the ram of the state the machine was put back to
int shown = -1;                   // its index in the ring, -1 when not rewinding
std::size_t bytes = 0;

uint64_t word_at(const uint8_t *p, int i) {
    uint64_t w;
    std::memcpy(&w, p + std::size_t(i) * 8, 8);
    return w;
}

uint8_t *put16(uint8_t *out, int v) {
    out[0] = uint8_t(v);
    out[1] = uint8_t(v >> 8);
    return out + 2;
}

// The difference between two rams of ram_size bytes. It is built in a buffer
// of the largest size a difference can have, then copied out at its own size.
std::vector<uint8_t> difference(const uint8_t *a, const uint8_t *b) {
    static std::vector<uint8_t> room(std::size_t(ram_size) + std::size_t(words) * 4);
    uint8_t *out = room.data();
    int i = 0;
    while (i < words) {
        const int from = i;
        while (i < words && word_at(a, i) == word_at(b, i)) ++i;
        if (i == words) break;
        const int start = i;
        while (i < words && word_at(a, i) != word_at(b, i)) ++i;
        out = put16(put16(out, start - from), i - start);
        for (int k = start; k < i; ++k, out += 8) {
            const uint64_t x = word_at(a, k) ^ word_at(b, k);
            std::memcpy(out, &x, 8);
        }
    }
    return std::vector<uint8_t>(room.data(), out);
}

void apply_difference(const std::vector<uint8_t> &d, uint8_t *to) {
    std::size_t at = 0;
    int i = 0;
    while (at + 4 <= d.size()) {
        i += d[at] | d[at + 1] << 8;
        const int n = d[at + 2] | d[at + 3] << 8;
        at += 4;
        for (int k = 0; k < n; ++k, ++i, at += 8) {
            uint64_t x;
            std::memcpy(&x, d.data() + at, 8);
            const uint64_t v = word_at(to, i) ^ x;
            std::memcpy(to + std::size_t(i) * 8, &v, 8);
        }
    }
}

std::size_t size_of(const kept &k) {
    std::size_t n = sizeof k + k.older.capacity() + k.tape.mic.bytes.size() + k.tape.typing.strokes.size() * sizeof(stroke);
    for (const std::vector<uint8_t> &b : k.tape.blocks) n += b.size() + sizeof b;
    return n;
}

void count_bytes() {
    bytes = newest_ram.capacity() + shown_ram.capacity();
    for (const kept &k : ring) bytes += size_of(k);
}

void drop_oldest() {
    bytes -= size_of(ring.front());
    ring.pop_front();
    if (shown >= 0) --shown;
}

}  // namespace

void set_history_length(int states) {
    length = states < 0 ? 0 : states;
    clear_history();
}

int history_length() { return length; }
int history_count() { return int(ring.size()); }
std::size_t history_bytes() { return bytes; }

void clear_history() {
    ring.clear();
    newest_ram.clear();
    newest_ram.shrink_to_fit();
    shown_ram.clear();
    shown_ram.shrink_to_fit();
    shown = -1;
    count_bytes();
}

void keep_state(int64_t frame) {
    if (length == 0) return;
    if (shown >= 0) history_resume();
    kept k;
    k.frame = frame;
    capture_cpu(k.cpu);
    capture_tape_side(k.tape);
    const bool first = ring.empty();
    if (first) {
        newest_ram.assign(ram, ram + ram_size);
    } else {
        bytes -= size_of(ring.back());
        ring.back().older = difference(newest_ram.data(), ram);
        bytes += size_of(ring.back());
        std::memcpy(newest_ram.data(), ram, ram_size);
    }
    ring.push_back(std::move(k));
    if (first)
        count_bytes();
    else
        bytes += size_of(ring.back());
    while (ring.size() > 1 && (int(ring.size()) > length || bytes > history_byte_limit)) drop_oldest();
}

bool history_back() {
    if (ring.empty()) return false;
    if (shown < 0) {
        shown_ram = newest_ram;
        shown = int(ring.size()) - 1;
    } else {
        if (shown == 0) return false;
        --shown;
        apply_difference(ring[std::size_t(shown)].older, shown_ram.data());
    }
    const kept &k = ring[std::size_t(shown)];
    restore_cpu(k.cpu);
    restore_tape_side(k.tape);
    std::memcpy(ram, shown_ram.data(), ram_size);
    fill_dsquares();
    return true;
}

int64_t history_frame() { return shown < 0 ? -1 : ring[std::size_t(shown)].frame; }

void history_resume() {
    if (shown < 0) return;
    while (int(ring.size()) > shown + 1) ring.pop_back();
    newest_ram.swap(shown_ram);
    ring.back().older.clear();
    ring.back().older.shrink_to_fit();
    shown_ram.clear();
    shown_ram.shrink_to_fit();
    shown = -1;
    count_bytes();
}
