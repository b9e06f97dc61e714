// The .tap and .tzx readers: a whole file checked and turned into level spans.
//
// A .tap file is a bare list of blocks (a 16-bit length, then the block's
// bytes: flag, data, checksum), each played as the ROM saves it. A .tzx file
// describes the signal itself: after the "ZXTape!" header come blocks named
// by an ID byte, either of data at given pulse lengths, of raw pulses, of
// samples, or of control (pauses, stops, jumps and loops) and information.
// A .pzx file is a list of tagged blocks of pulses, data bits and pauses, all
// timed in T-states. A .csw file is a recording: after its header, the length of every pulse in
// samples at the file's rate, run-length coded, and for Z-RLE deflated.
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "files/files.h"
#include "tape/tape.h"

namespace {

constexpr const char *caption_not_found = "Not Found";
constexpr const char *caption_unreadable = "Cannot Read Tape";
constexpr const char *caption_damaged = "Damaged Tape";
constexpr const char *caption_unsupported = "Unsupported Tape";

constexpr std::size_t file_limit = 16u << 20;
constexpr uint32_t ms = 3500;  // T-states in a millisecond
constexpr const char *too_long_text = "The tape is far longer than any Spectrum program when played.";
constexpr const char *too_many_text = "The tape's loops and repeats play far more pulses than its bytes could hold.";

// A tape is measured before it is built: an hour and a half of playing time
// is far longer than any program, and 24 million pulses (zero-length ones,
// samples and symbols counted too) is what that time of the ROM's shortest
// pulses holds. A .tzx file also holds at most 32 pulses a byte and a
// million more (a data byte is 16 pulses, a pilot tone a few thousand): only
// loops and repeat counts go past that, and a tape of a few bytes that
// would play millions of pulses is refused without building them.
// Both are worked out block by block from the lengths and counts the file
// gives, so a short file that would play for weeks is refused at once.
constexpr uint64_t time_limit = uint64_t(90 * 60) * 1000 * ms;
constexpr uint64_t pulse_limit = 24u << 20;
constexpr uint64_t pulses_per_byte = 32, pulses_besides = 1u << 20;
constexpr std::size_t span_limit = pulse_limit;
// Block visits while following jumps and loops, before the tape counts as endless.
constexpr long visit_limit = 1L << 20;
// Steps of play while building, a guard behind the measure.
constexpr uint64_t work_limit = 1u << 26;

// The ROM's standard speed, in T-states per pulse.
constexpr uint32_t pilot_pulse = 2168, sync1_pulse = 667, sync2_pulse = 735;
constexpr uint32_t zero_pulse = 855, one_pulse = 1710;
constexpr uint32_t header_pilots = 8063, data_pilots = 3223;

tape_result rejected(const std::string &name, const char *caption, const std::string &reason) {
    return {false, caption, name + "\n\n" + reason};
}

uint32_t w16(const uint8_t *p) { return uint32_t(p[0] | p[1] << 8); }
uint32_t w24(const uint8_t *p) { return w16(p) | uint32_t(p[2]) << 16; }
uint32_t w32(const uint8_t *p) { return w24(p) | uint32_t(p[3]) << 24; }

// The signal as it is built: every pulse flips the level, spans of one level
// are merged, and a zero-length pulse is no pulse.
struct builder {
    std::vector<tape_span> spans;
    std::vector<tape_mark> marks;
    uint64_t length = 0;
    uint8_t level = 0;
    bool full = false;
    uint64_t work = 0;

    // Counts one step of play; false once the tape has grown too long.
    bool tick() {
        if (++work > work_limit) full = true;
        return !full;
    }
    void hold(uint8_t lv, uint64_t t) {
        if (!tick()) return;
        if (length + t > time_limit) {
            full = true;
            return;
        }
        level = lv;
        while (t > 0) {
            const uint32_t part = uint32_t(std::min<uint64_t>(t, 0x7FFFFFFF));
            t -= part;
            length += part;
            if (!spans.empty() && !spans.back().stop && spans.back().level == lv &&
                spans.back().length <= 0x7FFFFFFF - part) {
                spans.back().length += part;
                continue;
            }
            if (spans.size() >= span_limit) {
                full = true;
                return;
            }
            spans.push_back({part, lv, 0});
        }
    }
    bool too_long() const { return full; }
    void mark(uint64_t at, int number, std::string text) { marks.push_back({at, number, std::move(text)}); }
    void pulse(uint32_t t) { hold(level ^ 1, t); }
    void tone(uint32_t t, uint32_t count) {
        for (uint32_t k = 0; k < count && !full; ++k) pulse(t);
    }
    // count plays of what play() adds.
    template <typename F>
    void times(uint32_t count, F play);
    // Bits high first, two pulses each; the last byte may use fewer bits.
    void data(const uint8_t *p, std::size_t n, int last_bits, uint32_t zero, uint32_t one) {
        for (std::size_t i = 0; i < n && !full; ++i) {
            const int bits = i + 1 == n ? last_bits : 8;
            for (int b = 0; b < bits; ++b) {
                const uint32_t t = p[i] & (0x80 >> b) ? one : zero;
                pulse(t);
                pulse(t);
            }
        }
    }
    // A pause ends the last pulse with an edge, then holds the level low.
    void pause(uint32_t millis) {
        if (millis == 0) return;
        const uint64_t t = uint64_t(millis) * ms;
        if (level == 0) {
            hold(1, ms);
            hold(0, t - ms);
        } else {
            hold(0, t);
        }
    }
    void stop() {
        if (spans.size() >= span_limit) {
            full = true;
            return;
        }
        spans.push_back({0, level, 1});
    }
};

tape_result accepted(builder &b, int blocks, const std::string &name, tape_image &out) {
    if (b.full) return rejected(name, caption_unsupported, too_long_text);
    if (b.length == 0) return rejected(name, caption_damaged, "The file holds no signal to play.");
    out.spans = std::move(b.spans);
    out.marks = std::move(b.marks);
    out.length = b.length;
    out.blocks = blocks;
    return {true, "", ""};
}

// ---- Blocks as a user reads them ----

// Text from a tape, its bytes outside printable ASCII shown as '?'.
std::string printable_text(const uint8_t *p, std::size_t n) {
    std::string text(reinterpret_cast<const char *>(p), n);
    for (char &c : text)
        if (uint8_t(c) < 32 || uint8_t(c) > 126) c = '?';
    return text;
}

// A block of the ROM's kind (flag, data, checksum): a header names the
// file that follows ("Program: hello"), other blocks give their size.
std::string data_text(const char *kind, const uint8_t *p, std::size_t n) {
    static constexpr const char *files[] = {"Program", "Number array", "Character array", "Bytes"};
    if (n == 19 && p[0] == 0 && p[1] <= 3) {
        std::string name = printable_text(p + 2, 10);
        while (!name.empty() && name.back() == ' ') name.pop_back();
        return std::string(files[p[1]]) + ": " + name;
    }
    return std::string(kind) + " " + std::to_string(n >= 2 ? n - 2 : n) + " bytes";
}

std::string pause_text(uint32_t millis) {
    std::string text = "Pause " + std::to_string(millis / 1000);
    if (millis % 1000) {
        text += "." + std::to_string(millis % 1000 + 1000).substr(1);
        while (text.back() == '0') text.pop_back();
    }
    return text + " s";
}


// ---- .csw ----

// What Z-RLE data may inflate to, in all, for one tape: more bytes than the
// pulse limit has pulses.
constexpr std::size_t csw_inflated_limit = 32u << 20;

// Inflates Z-RLE data (a zlib stream) into out, at most budget bytes (less
// what it took after); false with the reason.
bool inflate_zrle(const uint8_t *p, std::size_t n, std::vector<uint8_t> &out, std::size_t &budget,
                  std::string &reason) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) {
        reason = "zlib cannot start.";
        return false;
    }
    z.next_in = const_cast<uint8_t *>(p);
    z.avail_in = uInt(std::min<std::size_t>(n, 1u << 30));
    uint8_t chunk[1 << 15];
    int r = Z_OK;
    while (r != Z_STREAM_END) {
        z.next_out = chunk;
        z.avail_out = sizeof chunk;
        r = inflate(&z, Z_NO_FLUSH);
        const std::size_t got = sizeof chunk - z.avail_out;
        if (r != Z_OK && r != Z_STREAM_END && !(r == Z_BUF_ERROR && z.avail_in > 0)) {
            reason = r == Z_BUF_ERROR ? "The compressed pulses end before their stream does."
                                      : "The compressed pulses are damaged.";
            break;
        }
        if (out.size() + got > budget) {
            reason = too_many_text;
            break;
        }
        out.insert(out.end(), chunk, chunk + got);
    }
    inflateEnd(&z);
    budget -= std::min(budget, out.size());
    return reason.empty();
}

// Checks run-length coded pulses (one byte of samples each, or a 0 and then
// 32 bits): false when the data ends inside a long count.
bool rle_whole(const uint8_t *p, std::size_t n) {
    for (std::size_t at = 0; at < n;) {
        if (p[at++] != 0) continue;
        if (n - at < 4) return false;
        at += 4;
    }
    return true;
}

// Plays checked run-length coded pulses, the first at level first, each
// sample count turned into T-states at 3.5 MHz: the remainder of each
// division is carried into the next, so the whole recording keeps its length
// to the T-state.
template <typename Out>
void play_rle(Out &out, const uint8_t *p, std::size_t n, uint32_t rate, uint8_t first) {
    uint64_t carry = 0;
    uint8_t level = first;
    for (std::size_t at = 0; at < n && !out.too_long();) {
        uint64_t samples = p[at++];
        if (samples == 0) {
            samples = w32(p + at);
            at += 4;
        }
        carry += samples * (1000 * ms);
        const uint64_t t = carry / rate;
        carry -= t * rate;
        out.hold(level, t);
        level ^= 1;
    }
}

// ---- .tzx ----

struct tzx_block {
    uint8_t id;
    const uint8_t *body;  // after the ID byte
    std::size_t size;     // of the body
    // A CSW recording's (0x18) run-length coded pulses, inflated when they
    // were packed with Z-RLE.
    const uint8_t *rle = nullptr;
    std::size_t rle_size = 0;
};

// The size of a block's body, from its fixed part and its length fields, or
// 0 with reason set when the block cannot be measured. Unknown IDs follow the
// format's rule for extensions: a 32-bit length first.
std::size_t body_size(uint8_t id, const uint8_t *p, std::size_t left, std::string &reason) {
    struct shape {
        uint8_t id;
        uint8_t fixed;   // bytes before and including the length field
        uint8_t at;      // where the length field starts
        uint8_t width;   // its width: 0 (none), 1, 2, 3 or 4 bytes
        uint8_t scale;   // bytes per unit of the length
    };
    static constexpr shape shapes[] = {
        {0x10, 4, 2, 2, 1},  {0x11, 18, 15, 3, 1}, {0x12, 4, 0, 0, 0},  {0x13, 1, 0, 1, 2},
        {0x14, 10, 7, 3, 1}, {0x15, 8, 5, 3, 1},   {0x20, 2, 0, 0, 0},  {0x21, 1, 0, 1, 1},
        {0x22, 0, 0, 0, 0},  {0x23, 2, 0, 0, 0},   {0x24, 2, 0, 0, 0},  {0x25, 0, 0, 0, 0},
        {0x26, 2, 0, 2, 2},  {0x27, 0, 0, 0, 0},   {0x28, 2, 0, 2, 1},  {0x30, 1, 0, 1, 1},
        {0x31, 2, 1, 1, 1},  {0x32, 2, 0, 2, 1},   {0x33, 1, 0, 1, 3},  {0x34, 8, 0, 0, 0},
        {0x35, 14, 10, 4, 1}, {0x40, 4, 1, 3, 1},  {0x5A, 9, 0, 0, 0},
    };
    shape s = {id, 4, 0, 4, 1};
    for (const shape &k : shapes)
        if (k.id == id) s = k;
    if (left < s.fixed) {
        reason = "ends inside the header of a block";
        return 0;
    }
    uint64_t n = 0;
    switch (s.width) {
    case 1: n = p[s.at]; break;
    case 2: n = w16(p + s.at); break;
    case 3: n = w24(p + s.at); break;
    case 4: n = w32(p + s.at); break;
    }
    const uint64_t size = s.fixed + n * s.scale;
    if (size > left) {
        reason = "ends inside a block";
        return 0;
    }
    return std::size_t(size);
}

const char *block_name(uint8_t id) {
    switch (id) {
    case 0x11: return "turbo-speed data";
    case 0x14: return "pure data";
    case 0x15: return "direct recording";
    case 0x19: return "generalized data";
    }
    return "data";
}

// Checks the contents of one block that plays, beyond its size.
bool check_block(const tzx_block &b, std::string &reason) {
    const uint8_t *p = b.body;
    auto used_bits = [&](std::size_t at, std::size_t data_size) {
        if (data_size > 0 && (p[at] < 1 || p[at] > 8)) {
            reason = std::string("A ") + block_name(b.id) + " block uses " + std::to_string(p[at]) +
                     " bits of its last byte (1 to 8).";
            return false;
        }
        return true;
    };
    switch (b.id) {
    case 0x11: return used_bits(0x0C, b.size - 0x12);
    case 0x14: return used_bits(0x04, b.size - 0x0A);
    case 0x15: return used_bits(0x04, b.size - 0x08);
    case 0x18:
        if (b.size < 0x0E || w24(p + 6) == 0 || p[9] < 1 || p[9] > 2) {
            reason = "A CSW recording block is shorter than its header, or has a sample rate of 0 or a packing "
                     "other than RLE and Z-RLE.";
            return false;
        }
        return true;
    case 0x28: {
        std::size_t at = 3;
        for (uint32_t k = 0; k < (b.size >= 3 ? p[2] : 1); ++k) {
            if (at + 3 > b.size || at + 3 + p[at + 2] > b.size) {
                reason = "A select block is shorter than its parts.";
                return false;
            }
            at += 3 + p[at + 2];
        }
        return true;
    }
    case 0x2B:
        if (b.size < 5) {
            reason = "A signal level block is shorter than its level byte.";
            return false;
        }
        return true;
    case 0x19: {
        if (b.size < 18) {
            reason = "A generalized data block is shorter than its header.";
            return false;
        }
        const uint64_t totp = w32(p + 6), npp = p[10], asp = p[11] ? p[11] : 256;
        const uint64_t totd = w32(p + 12), npd = p[16], asd = p[17] ? p[17] : 256;
        int nb = 0;
        while ((1u << nb) < asd) ++nb;
        uint64_t need = 18;
        if (totp) need += asp * (1 + 2 * npp) + totp * 3;
        if (totd) need += asd * (1 + 2 * npd) + (totd * nb + 7) / 8;
        if (need > b.size) {
            reason = "A generalized data block is shorter than its symbols and streams.";
            return false;
        }
        // Pilot symbols must name a defined symbol.
        if (totp) {
            const uint8_t *stream = p + 18 + asp * (1 + 2 * npp);
            for (uint64_t k = 0; k < totp; ++k)
                if (stream[3 * k] >= asp) {
                    reason = "A generalized data block names a pilot symbol it does not define.";
                    return false;
                }
        }
        return true;
    }
    }
    return true;
}

// The measure of a tape before it is built: its playing time and pulses,
// with the same calls as the builder but worked out from the counts, so a
// tone of 65535 pulses costs one step, not 65535.
struct measure {
    uint64_t length = 0;
    uint64_t pulses = 0;
    uint64_t most_pulses = pulse_limit;
    uint8_t level = 0;  // as the builder's, for the shared playing code

    bool tick() {
        ++pulses;  // a symbol, even one of no length
        return true;
    }
    void hold(uint8_t, uint64_t t) {
        length += t;
        ++pulses;
    }
    void pulse(uint32_t t) { hold(0, t); }
    void tone(uint32_t t, uint32_t count) {
        length += uint64_t(t) * count;
        pulses += count;
    }
    void data(const uint8_t *p, std::size_t n, int last_bits, uint32_t zero, uint32_t one) {
        for (std::size_t i = 0; i < n; ++i) {
            const int bits = i + 1 == n ? last_bits : 8;
            const int ones = __builtin_popcount(unsigned(p[i] >> (8 - bits)));
            length += 2 * (uint64_t(ones) * one + uint64_t(bits - ones) * zero);
            pulses += 2 * uint64_t(bits);
        }
    }
    void pause(uint32_t millis) {
        length += uint64_t(millis) * ms;
        pulses += 2;
    }
    void stop() { ++pulses; }
    void mark(uint64_t, int, const std::string &) {}
    // count plays of what play() adds, from one of them.
    template <typename F>
    void times(uint32_t count, F play) {
        const uint64_t l = length, n = pulses;
        play();
        length = l + (length - l) * count;
        pulses = n + (pulses - n) * count;
    }
    bool too_long() const { return length > time_limit || pulses > most_pulses; }
    // For a whole file of size bytes.
    void limit_for(std::size_t size) {
        most_pulses = std::min<uint64_t>(pulse_limit, pulses_per_byte * size + pulses_besides);
    }
    const char *refusal() const { return length > time_limit ? too_long_text : too_many_text; }
};

template <typename F>
void builder::times(uint32_t count, F play) {
    for (uint32_t k = 0; k < count && !full; ++k) play();
}

// A block at the ROM's speed, as the builder or the measure takes it.
template <typename Out>
void standard(Out &out, const uint8_t *p, std::size_t n, uint32_t millis) {
    out.tone(pilot_pulse, n > 0 && p[0] < 0x80 ? header_pilots : data_pilots);
    out.pulse(sync1_pulse);
    out.pulse(sync2_pulse);
    out.data(p, n, 8, zero_pulse, one_pulse);
    out.pause(millis);
}

// Plays one symbol of a generalized data block: its flags set the first
// edge, then every further pulse flips the level; a zero length ends it.
template <typename Out>
void symbol(Out &out, const uint8_t *def, uint32_t pulses) {
    if (!out.tick()) return;
    for (uint32_t k = 0; k < pulses; ++k) {
        const uint32_t t = w16(def + 1 + 2 * k);
        if (t == 0) break;
        uint8_t lv = out.level ^ 1;
        if (k == 0) {
            switch (def[0] & 3) {
            case 1: lv = out.level; break;
            case 2: lv = 0; break;
            case 3: lv = 1; break;
            }
        }
        out.hold(lv, t);
    }
}

template <typename Out>
void generalized(Out &out, const uint8_t *p) {
    const uint32_t totp = w32(p + 6), npp = p[10], asp = p[11] ? p[11] : 256;
    const uint32_t npd = p[16], asd = p[17] ? p[17] : 256;
    uint32_t totd = w32(p + 12);
    const uint8_t *q = p + 18;
    if (totp) {
        const uint8_t *defs = q;
        const uint8_t *stream = defs + asp * (1 + 2 * npp);
        for (uint32_t k = 0; k < totp; ++k)
            out.times(w16(stream + 3 * k + 1), [&] { symbol(out, defs + stream[3 * k] * (1 + 2 * npp), npp); });
        q = stream + 3 * totp;
    }
    if (totd) {
        int nb = 0;
        while ((1u << nb) < asd) ++nb;
        const uint8_t *defs = q;
        const uint8_t *stream = defs + asd * (1 + 2 * npd);
        // With one symbol there are no bits to read: it plays totd times.
        if (nb == 0) {
            out.times(totd, [&] { symbol(out, defs, npd); });
            totd = 0;
        }
        for (uint64_t k = 0; k < totd && !out.too_long(); ++k) {
            uint32_t s = 0;
            for (int b = 0; b < nb; ++b) {
                const uint64_t bit = k * nb + b;
                s = s << 1 | ((stream[bit / 8] >> (7 - bit % 8)) & 1);
            }
            // A symbol number past the table plays nothing.
            if (s < asd) symbol(out, defs + s * (1 + 2 * npd), npd);
        }
    }
    out.pause(w16(p + 4));
}

template <typename Out>
void direct(Out &out, const uint8_t *p, std::size_t n) {
    const uint32_t per_sample = w16(p);
    const int last_bits = p[4];
    const uint8_t *samples = p + 8;
    const std::size_t count = n - 8;
    for (std::size_t i = 0; i < count; ++i) {
        const int bits = i + 1 == count ? last_bits : 8;
        for (int b = 0; b < bits; ++b) out.hold((samples[i] >> (7 - b)) & 1, per_sample);
    }
    out.pause(w16(p + 2));
}

// Plays one block that makes signal; false for a block that only steers
// (jumps, loops) or informs.
template <typename Out>
bool play_block(Out &b, const tzx_block &k) {
    const uint8_t *p = k.body;
    switch (k.id) {
    case 0x10: standard(b, p + 4, k.size - 4, w16(p)); break;
    case 0x11:
        b.tone(w16(p), w16(p + 10));
        b.pulse(w16(p + 2));
        b.pulse(w16(p + 4));
        b.data(p + 0x12, k.size - 0x12, p[0x0C], w16(p + 6), w16(p + 8));
        b.pause(w16(p + 0x0D));
        break;
    case 0x12: b.tone(w16(p), w16(p + 2)); break;
    case 0x13:
        for (uint32_t n = 0; n < p[0]; ++n) b.pulse(w16(p + 1 + 2 * n));
        break;
    case 0x14:
        b.data(p + 0x0A, k.size - 0x0A, p[4], w16(p), w16(p + 2));
        b.pause(w16(p + 5));
        break;
    case 0x15: direct(b, p, k.size); break;
    case 0x19: generalized(b, p); break;
    case 0x18:
        play_rle(b, k.rle, k.rle_size, w24(p + 6), b.level ^ 1);
        b.pause(w16(p + 4));
        break;
    case 0x20:
        if (w16(p) == 0)
            b.stop();
        else
            b.pause(w16(p));
        break;
    case 0x2A: b.stop(); break;
    case 0x28:
        if (p[2] > 0) b.stop();  // for the choice
        break;
    case 0x2B: b.level = p[4] ? 1 : 0; break;
    default: return false;
    }
    return true;
}

bool is_data_block(uint8_t id) {
    return id == 0x10 || id == 0x11 || id == 0x14 || id == 0x15 || id == 0x18 || id == 0x19;
}

// A .tzx block as the tape browser lists it; empty for one not listed.
std::string block_text(const tzx_block &k) {
    const uint8_t *p = k.body;
    switch (k.id) {
    case 0x10: return data_text("Data", p + 4, k.size - 4);
    case 0x11: return data_text("Turbo data", p + 0x12, k.size - 0x12);
    case 0x12: return "Pure tone";
    case 0x13: return "Pulses";
    case 0x14: return data_text("Pure data", p + 0x0A, k.size - 0x0A);
    case 0x15: return "Direct recording";
    case 0x18: return "CSW recording";
    case 0x19: return "Generalized data";
    case 0x20: return w16(p) ? pause_text(w16(p)) : "Stop the tape";
    case 0x21: return "Group: " + printable_text(p + 1, p[0]);
    case 0x28: return "Select a part";
    case 0x2A: return "Stop the tape on a 48K";
    case 0x30: return "Text: " + printable_text(p + 1, p[0]);
    case 0x31: return "Message: " + printable_text(p + 2, p[1]);
    case 0x32: {
        // Archive info: the title (text 0), else the first text there is.
        std::string text;
        for (std::size_t k2 = 0, at = 3; k2 < p[2] && at + 2 <= k.size && at + 2 + p[at + 1] <= k.size;
             ++k2, at += 2 + p[at + 1])
            if (text.empty() || p[at] == 0) text = printable_text(p + at + 2, p[at + 1]);
        return "Archive info: " + text;
    }
    }
    return "";
}

// The block a call sequence's (0x26) call number k goes to.
std::size_t call_target(const std::vector<tzx_block> &blocks, std::size_t at, uint32_t k) {
    return std::size_t(long(at) + int16_t(w16(blocks[at].body + 2 + 2 * k)));
}

// Visits the blocks in playing order from the first to the end, following
// jumps, loops and call sequences (each call plays from its block to a
// return, 0x27; a call sequence met inside one is passed over); false when
// that takes more than visit_limit visits, or when visit returns false.
template <typename Visit>
bool walk(const std::vector<tzx_block> &blocks, std::size_t start, Visit visit) {
    std::size_t loop_start = 0;
    long loop_left = -1;  // -1: not in a loop
    constexpr std::size_t no_call = ~std::size_t(0);
    std::size_t call_at = no_call;  // the call sequence being played
    uint32_t call = 0;              // and its call now playing
    long visits = 0;
    for (std::size_t i = start; i < blocks.size();) {
        if (++visits > visit_limit || !visit(i)) return false;
        const tzx_block &k = blocks[i];
        std::size_t next = i + 1;
        switch (k.id) {
        case 0x23: next = std::size_t(long(i) + int16_t(w16(k.body))); break;  // checked when the blocks were read
        case 0x24:
            loop_start = i + 1;
            loop_left = w16(k.body);
            break;
        case 0x25:
            if (--loop_left > 0) next = loop_start;
            break;
        case 0x26:
            if (call_at == no_call && w16(k.body) > 0) {
                call_at = i;
                call = 0;
                next = call_target(blocks, i, 0);
            }
            break;
        case 0x27:
            if (call_at == no_call) break;  // a return outside a call plays on
            if (++call < w16(blocks[call_at].body)) {
                next = call_target(blocks, call_at, call);
            } else {
                next = call_at + 1;
                call_at = no_call;
            }
            break;
        }
        i = next;
    }
    return true;
}

// Whether the hardware blocks (0x33) say the tape needs a 128K Spectrum:
// entries of three bytes, a kind (0: computers), the machine (0 to 2: the
// 16K and 48K models, 3 to 5: the 128K ones) and how the tape stands to it
// (0 runs, 1 uses its own hardware, 2 runs without using it, 3 does not
// run). So it is when a 48K model is marked as not running it, or a 128K
// model as one whose hardware it uses while no 48K model is marked as
// running it.
bool needs_128k(const std::vector<tzx_block> &blocks) {
    bool runs_on_48k = false, not_on_48k = false, uses_128k = false;
    for (const tzx_block &b : blocks) {
        if (b.id != 0x33) continue;
        for (uint32_t k = 0; k < b.body[0]; ++k) {
            const uint8_t *e = b.body + 1 + 3 * k;
            if (e[0] != 0) continue;
            if (e[1] <= 2) {
                runs_on_48k = runs_on_48k || e[2] != 3;
                not_on_48k = not_on_48k || e[2] == 3;
            } else if (e[1] <= 5) {
                uses_128k = uses_128k || e[2] == 1;
            }
        }
    }
    return not_on_48k || (uses_128k && !runs_on_48k);
}

// A select block's parts: the text of each and the block it starts at.
tape_select select_parts(const std::vector<tzx_block> &blocks, std::size_t at) {
    tape_select s;
    const uint8_t *p = blocks[at].body;
    for (std::size_t k = 0, q = 3; k < p[2]; ++k, q += 3 + p[q + 2]) {
        s.blocks.push_back(uint32_t(long(at) + int16_t(w16(p + q))));
        s.texts.emplace_back(reinterpret_cast<const char *>(p + q + 3), p[q + 2]);
    }
    return s;
}

// Measures the tape from block start, each block once however often it
// plays, then builds it.
tape_result play_blocks(const std::vector<tzx_block> &blocks, std::size_t size, const std::string &name,
                        std::size_t start, tape_image &out) {
    std::vector<measure> each(blocks.size());
    std::vector<bool> measured(blocks.size());
    measure whole;
    whole.limit_for(size);
    const bool ended = walk(blocks, start, [&](std::size_t i) {
        if (!measured[i]) {
            play_block(each[i], blocks[i]);
            measured[i] = true;
        }
        whole.length += each[i].length;
        whole.pulses += each[i].pulses;
        return !whole.too_long();
    });
    if (whole.too_long()) return rejected(name, caption_unsupported, whole.refusal());
    if (!ended) return rejected(name, caption_unsupported, "The tape's jumps and loops never reach its end.");
    builder b;
    int data_blocks = 0;
    std::vector<tape_select> selects;
    std::vector<bool> listed(blocks.size());
    walk(blocks, start, [&](std::size_t i) {
        if (!listed[i]) {
            listed[i] = true;
            std::string text = block_text(blocks[i]);
            if (!text.empty()) b.mark(b.length, int(i) + 1, std::move(text));
        }
        play_block(b, blocks[i]);
        data_blocks += is_data_block(blocks[i].id);
        if (blocks[i].id == 0x28 && blocks[i].body[2] > 0) {
            selects.push_back(select_parts(blocks, i));
            selects.back().pos = b.spans.size();
        }
        return !b.full;
    });
    const tape_result r = accepted(b, data_blocks, name, out);
    if (r.ok) out.selects = std::move(selects);
    return r;
}

// ---- .pzx ----

// A .pzx file is a list of blocks, each a four-letter tag, a 32-bit size
// and its body: PZXT (the header, first), PULS (pulses, each of a 16- or
// 31-bit length, some repeated, the first low), DATA (bits played as one of
// two pulse sequences, then a tail pulse), PAUS (a level held), BRWS (a
// name to browse by) and STOP; blocks of other tags are skipped. Plays the
// blocks into out (the measure first, which also checks them, then the
// builder); the caption and the reason for a refused file, else nullptr.
template <typename Out>
const char *play_pzx(Out &out, const uint8_t *data, std::size_t size, int &data_blocks, std::string &reason) {
    data_blocks = 0;
    int number = 0;
    uint64_t pulses_at = 0;  // where the pulses before a data block (its pilot) began
    bool after_pulses = false;
    for (std::size_t at = 0; at < size && !out.too_long();) {
        ++number;
        const std::string which = "Block " + std::to_string(number);
        if (size - at < 8) {
            reason = which + " is cut off inside its tag and size.";
            return caption_damaged;
        }
        const std::string tag(reinterpret_cast<const char *>(data + at), 4);
        const uint32_t n = w32(data + at + 4);
        at += 8;
        if (n > size - at) {
            reason = which + " (" + tag + ") is " + std::to_string(n) + " bytes long, but the file ends after " +
                     std::to_string(size - at) + ".";
            return caption_damaged;
        }
        const uint8_t *p = data + at;
        at += n;
        const auto short_block = [&] {
            reason = which + " (" + tag + ") is shorter than its contents.";
            return caption_damaged;
        };
        if ((number == 1) != (tag == "PZXT")) {
            reason = number == 1 ? "The file does not begin with the PZX header block \"PZXT\"."
                                 : which + " is a second PZX header.";
            return caption_damaged;
        }
        const bool pulses = tag == "PULS", follows_pulses = after_pulses;
        if (pulses && !after_pulses) pulses_at = out.length;
        after_pulses = pulses;
        if (tag == "PULS") {
            out.level = 1;  // the first pulse is low
            for (std::size_t k = 0; k < n;) {
                if (n - k < 2) return short_block();
                uint32_t count = 1, length = w16(p + k);
                k += 2;
                if (length > 0x8000) {
                    if (n - k < 2) return short_block();
                    count = length & 0x7FFF;
                    length = w16(p + k);
                    k += 2;
                }
                if (length >= 0x8000) {
                    if (n - k < 2) return short_block();
                    length = (length & 0x7FFF) << 16 | w16(p + k);
                    k += 2;
                }
                out.tone(length, count);
            }
        } else if (tag == "DATA") {
            if (n < 8) return short_block();
            const uint32_t bits = w32(p) & 0x7FFFFFFF;
            const uint32_t tail = w16(p + 4), p0 = p[6], p1 = p[7];
            const uint64_t need = 8 + 2 * (p0 + p1) + (uint64_t(bits) + 7) / 8;
            if (need > n) return short_block();
            const uint8_t *s0 = p + 8, *s1 = s0 + 2 * p0, *bytes = s1 + 2 * p1;
            // Listed from its pilot on.
            out.mark(follows_pulses ? pulses_at : out.length, number,
                     bits % 8 ? "Data " + std::to_string(bits) + " bits" : data_text("Data", bytes, bits / 8));
            out.level = p[3] >> 7 ^ 1;  // the first pulse at the level bit 31 gives
            for (uint32_t b = 0; b < bits && !out.too_long(); ++b) {
                const bool one = bytes[b / 8] & (0x80 >> b % 8);
                const uint8_t *seq = one ? s1 : s0;
                for (uint32_t k = 0, m = one ? p1 : p0; k < m; ++k) out.pulse(w16(seq + 2 * k));
            }
            if (tail) out.pulse(tail);
            ++data_blocks;
        } else if (tag == "PAUS") {
            if (n < 4) return short_block();
            out.hold(p[3] >> 7, w32(p) & 0x7FFFFFFF);
        } else if (tag == "BRWS") {
            const std::size_t shown = std::find(p, p + std::min<std::size_t>(n, 80), 0) - p;
            out.mark(out.length, number, "Browse point: " + printable_text(p, shown));
        } else if (tag == "STOP") {
            if (n < 2) return short_block();
            out.mark(out.length, number, "Stop the tape");
            out.stop();  // always, and "only on a 48K": both stop here
        } else if (tag == "PZXT") {
            if (n < 2) return short_block();
            if (p[0] != 1) {
                reason = "The file is a PZX of version " + std::to_string(p[0]) + "." + std::to_string(n > 1 ? p[1] : 0) +
                         "; only version 1 tapes can be played.";
                return caption_unsupported;
            }
        }
    }
    return nullptr;
}

}  // namespace

tape_result read_csw(const uint8_t *data, std::size_t size, const std::string &name, tape_image &out) {
    static constexpr char signature[] = "Compressed Square Wave\x1A";
    if (size < 0x20 || std::memcmp(data, signature, 23) != 0)
        return rejected(name, caption_damaged,
                        "The file does not begin with the CSW signature \"Compressed Square Wave\".");
    const uint8_t major = data[0x17];
    uint32_t rate = 0;
    uint8_t compression = 0, flags = 0;
    std::size_t at = 0x20;
    if (major == 1) {
        rate = w16(data + 0x19);
        compression = data[0x1B];
        flags = data[0x1C];
    } else if (major == 2) {
        if (size < 0x34 || size - 0x34 < data[0x23])
            return rejected(name, caption_damaged, "The file ends inside its header.");
        rate = w32(data + 0x19);
        compression = data[0x21];
        flags = data[0x22];
        at = 0x34 + data[0x23];
    } else {
        return rejected(name, caption_unsupported,
                        "The file is a CSW of version " + std::to_string(major) + "; versions 1 and 2 can be played.");
    }
    if (rate == 0) return rejected(name, caption_damaged, "The recording's sample rate is 0.");
    if (compression != 1 && !(compression == 2 && major == 2))
        return rejected(name, caption_unsupported,
                        "The recording is packed in a way the CSW version " + std::to_string(major) +
                            " format does not have (" + std::to_string(compression) + ").");
    const uint8_t *rle = data + at;
    std::size_t n = size - at;
    std::vector<uint8_t> inflated;
    std::string reason;
    std::size_t budget = csw_inflated_limit;
    if (compression == 2) {
        if (!inflate_zrle(rle, n, inflated, budget, reason))
            return rejected(name, reason == too_many_text ? caption_unsupported : caption_damaged, reason);
        rle = inflated.data();
        n = inflated.size();
    }
    if (!rle_whole(rle, n)) return rejected(name, caption_damaged, "The recording ends inside the length of a pulse.");
    builder b;
    b.mark(0, 1, "CSW recording");
    play_rle(b, rle, n, rate, flags & 1);
    return accepted(b, 0, name, out);
}

tape_result read_pzx(const uint8_t *data, std::size_t size, const std::string &name, tape_image &out) {
    measure whole;
    whole.limit_for(size);
    int data_blocks = 0;
    std::string reason;
    if (const char *caption = play_pzx(whole, data, size, data_blocks, reason)) return rejected(name, caption, reason);
    if (whole.too_long()) return rejected(name, caption_unsupported, whole.refusal());
    builder b;
    play_pzx(b, data, size, data_blocks, reason);
    return accepted(b, data_blocks, name, out);
}

tape_result read_tap(const uint8_t *data, std::size_t size, const std::string &name, tape_image &out) {
    // First the blocks are checked and measured, then played.
    measure whole;  // a .tap has no loops or repeats: its pulses grow with its bytes
    int blocks = 0;
    for (std::size_t at = 0; at < size;) {
        if (size - at < 2) return rejected(name, caption_damaged, "The file ends inside the length of a block.");
        const std::size_t n = w16(data + at);
        at += 2;
        if (n > size - at)
            return rejected(name, caption_damaged,
                            "Block " + std::to_string(blocks + 1) + " is " + std::to_string(n) +
                                " bytes long, but the file ends after " + std::to_string(size - at) + ".");
        if (n > 0) {
            standard(whole, data + at, n, 1000);
            ++blocks;
        }
        if (whole.too_long()) return rejected(name, caption_unsupported, whole.refusal());
        at += n;
    }
    builder b;
    int number = 0;
    for (std::size_t at = 0; at < size && !b.full;) {
        const std::size_t n = w16(data + at);
        at += 2;
        if (n > 0) {
            ++blocks;
            b.mark(b.length, ++number, data_text("Data", data + at, n));
            standard(b, data + at, n, 1000);
        }
        at += n;
    }
    return accepted(b, blocks, name, out);
}

namespace {

// Reads a .tzx and builds it from block start on.
tape_result read_tzx_from(const uint8_t *data, std::size_t size, const std::string &name, std::size_t start,
                          tape_image &out) {
    static constexpr uint8_t signature[8] = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A};
    if (size < 10 || std::memcmp(data, signature, 8) != 0)
        return rejected(name, caption_damaged, "The file does not begin with the TZX signature \"ZXTape!\".");
    if (data[8] != 1)
        return rejected(name, caption_unsupported,
                        "The file is a TZX of version " + std::to_string(data[8]) + "." + std::to_string(data[9]) +
                            "; only version 1 tapes can be played.");
    std::vector<tzx_block> blocks;
    std::vector<std::vector<uint8_t>> inflated;  // the Z-RLE recordings' pulses
    std::size_t budget = csw_inflated_limit;
    for (std::size_t at = 10; at < size;) {
        const uint8_t id = data[at++];
        const std::string which = "Block " + std::to_string(blocks.size() + 1) + " (ID 0x" +
                                  "0123456789ABCDEF"[id >> 4] + "0123456789ABCDEF"[id & 15] + ")";
        std::string reason;
        const std::size_t n = body_size(id, data + at, size - at, reason);
        if (!reason.empty()) return rejected(name, caption_damaged, which + " " + reason + ".");
        blocks.push_back({id, data + at, n});
        tzx_block &b = blocks.back();
        if (!check_block(b, reason)) return rejected(name, caption_damaged, which + ": " + reason);
        if (id == 0x18) {
            b.rle = b.body + 0x0E;
            b.rle_size = b.size - 0x0E;
            if (b.body[9] == 2) {
                // Moving the list moves each buffer whole: the pointers stay good.
                inflated.emplace_back();
                if (!inflate_zrle(b.rle, b.rle_size, inflated.back(), budget, reason))
                    return rejected(name, reason == too_many_text ? caption_unsupported : caption_damaged,
                                    which + ": " + reason);
                b.rle = inflated.back().data();
                b.rle_size = inflated.back().size();
            }
            if (!rle_whole(b.rle, b.rle_size))
                return rejected(name, caption_damaged, which + ": the recording ends inside the length of a pulse.");
        }
        at += n;
    }
    // Jumps must land on a block, and loops must close without nesting.
    bool in_loop = false;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const std::string which = "Block " + std::to_string(i + 1);
        if (blocks[i].id == 0x23) {
            const long target = long(i) + int16_t(w16(blocks[i].body));
            if (target == long(i) || target < 0 || target > long(blocks.size()))
                return rejected(name, caption_damaged, which + " jumps to a block the tape does not have.");
        } else if (blocks[i].id == 0x28) {
            for (const uint32_t target : select_parts(blocks, i).blocks)
                if (target == i || target >= blocks.size())
                    return rejected(name, caption_damaged, which + " offers a block the tape does not have.");
        } else if (blocks[i].id == 0x26) {
            for (uint32_t k = 0; k < w16(blocks[i].body); ++k) {
                const std::size_t target = call_target(blocks, i, k);
                if (target == i || target >= blocks.size())
                    return rejected(name, caption_damaged, which + " calls a block the tape does not have.");
            }
        } else if (blocks[i].id == 0x24) {
            if (in_loop) return rejected(name, caption_unsupported, which + " starts a loop inside a loop.");
            in_loop = true;
        } else if (blocks[i].id == 0x25) {
            if (!in_loop) return rejected(name, caption_damaged, which + " ends a loop that was not started.");
            in_loop = false;
        }
    }
    if (in_loop) return rejected(name, caption_damaged, "A loop is not ended before the end of the tape.");
    if (start >= blocks.size()) return rejected(name, caption_damaged, "The tape has no such block.");
    const tape_result r = play_blocks(blocks, size, name, start, out);
    if (r.ok) out.for_128k = needs_128k(blocks);
    // The bytes are kept for building the tape again from the part chosen.
    if (r.ok && !out.selects.empty()) out.source = std::make_shared<const std::vector<uint8_t>>(data, data + size);
    return r;
}

}  // namespace

tape_result read_tzx(const uint8_t *data, std::size_t size, const std::string &name, tape_image &out) {
    return read_tzx_from(data, size, name, 0, out);
}

const tape_select *tape_select_due() {
    if (deck.playing) return nullptr;
    const std::vector<tape_span> &spans = deck.tape.spans;
    const uint32_t whole = deck.pos < spans.size() ? spans[deck.pos].length : 0;
    for (const tape_select &s : deck.tape.selects)
        if (s.pos == deck.pos && deck.left == whole) return &s;
    return nullptr;
}

void tape_choose(std::size_t part) {
    const tape_select *due = tape_select_due();
    tape_image rest;
    if (!due || part >= due->blocks.size() || !deck.tape.source ||
        !read_tzx_from(deck.tape.source->data(), deck.tape.source->size(), deck.name, due->blocks[part], rest).ok ||
        due->pos + rest.spans.size() > span_limit) {
        tape_play();
        return;
    }
    // The spans played so far, then the tape from the part's block on.
    const std::size_t pos = due->pos;
    tape_image joined;
    joined.spans.assign(deck.tape.spans.begin(), deck.tape.spans.begin() + long(pos));
    joined.spans.insert(joined.spans.end(), rest.spans.begin(), rest.spans.end());
    joined.length = deck.played + rest.length;
    joined.blocks = deck.tape.blocks;
    joined.for_128k = deck.tape.for_128k;
    joined.source = deck.tape.source;
    for (const tape_select &s : deck.tape.selects)
        if (s.pos < pos) joined.selects.push_back(s);
    for (tape_select &s : rest.selects) {
        s.pos += pos;
        joined.selects.push_back(std::move(s));
    }
    for (const tape_mark &m : deck.tape.marks)
        if (m.at < deck.played) joined.marks.push_back(m);
    for (tape_mark &m : rest.marks) {
        m.at += deck.played;
        joined.marks.push_back(std::move(m));
    }
    ++tape_insertions;
    deck.tape = std::move(joined);
    deck.left = pos < deck.tape.spans.size() ? deck.tape.spans[pos].length : 0;
    tape_play();
}

namespace {

// The tape formats: the extension that names each, the signature its files
// begin with, and its reader. A .tap has no signature: it is the first, taken
// when nothing else fits.
struct tape_format {
    const char *extension;
    const char *signature;
    std::size_t signature_size;
    tape_result (*read)(const uint8_t *, std::size_t, const std::string &, tape_image &);
};
constexpr tape_format tape_formats[] = {
    {"tap", nullptr, 0, read_tap},
    {"tzx", "ZXTape!", 7, read_tzx},
    {"csw", "Compressed Square Wave\x1A", 23, read_csw},
    {"pzx", "PZXT", 4, read_pzx},
};

const tape_format *signed_format(const uint8_t *data, std::size_t size) {
    for (const tape_format &f : tape_formats)
        if (f.signature && size >= f.signature_size && std::memcmp(data, f.signature, f.signature_size) == 0)
            return &f;
    return nullptr;
}

const tape_format *named_format(const std::string &path) {
    const std::string ext = lowercase_extension(path);
    for (const tape_format &f : tape_formats)
        if (ext == f.extension) return &f;
    return nullptr;
}

}  // namespace

bool is_tape_name(const std::string &path) { return named_format(path) != nullptr; }

bool is_tape_file(const std::string &path) {
    if (is_tape_name(path)) return true;
    const std::string ext = lowercase_extension(path);
    if (ext == "sna" || ext == "z80") return false;
    std::vector<uint8_t> data;
    if (read_whole_file(path, file_limit, data).failure != read_failure::none) return false;
    return has_tape_signature(data.data(), data.size());
}

bool has_tape_signature(const uint8_t *data, std::size_t size) { return signed_format(data, size) != nullptr; }

namespace {

tape_result insert_read(const uint8_t *data, std::size_t size, const std::string &name, const tape_format &format) {
    tape_image image;
    tape_result r = format.read(data, size, name, image);
    if (!r.ok) return r;
    tape_stop();
    ++tape_insertions;
    deck.tape = std::move(image);
    deck.name = name;
    tape_rewind();
    return r;
}

}  // namespace

tape_result insert_tape_bytes(const uint8_t *data, std::size_t size, const std::string &name, bool tzx) {
    return insert_read(data, size, name, tape_formats[tzx ? 1 : 0]);
}

tape_result insert_named_tape(const uint8_t *data, std::size_t size, const std::string &name,
                              const std::string &file_name) {
    const tape_format *format = signed_format(data, size);
    if (!format) format = named_format(file_name);
    return insert_read(data, size, name, format ? *format : tape_formats[0]);
}

tape_result insert_tape(const std::string &path) {
    std::vector<uint8_t> data;
    const file_read got = read_whole_file(path, file_limit, data);
    switch (got.failure) {
    case read_failure::none: break;
    case read_failure::cannot_open: return {false, caption_not_found, path + "\n\n" + got.reason};
    case read_failure::too_large:
        return rejected(path, caption_unsupported, "The file is larger than 16 MB, far larger than any tape.");
    default: return rejected(path, caption_unreadable, "The file cannot be read: " + got.reason);
    }
    return insert_named_tape(data.data(), data.size(), path, path);
}
