// The deck: spans played against the T-state clock, the MIC decoder that
// records SAVE, and the typing of LOAD "".
#include <algorithm>
#include <cstring>
#include <string>

#include "tape/tape.h"
#include "z80/z80.h"
#include "z80/z80_flags.h"

int64_t line_clock = 0;
int64_t frame_end_clock = 0;
deck_state deck;
bool tape_auto_play = true;
bool tape_skip_edge_waits = true;
bool tape_recording = false;
std::vector<std::vector<uint8_t>> recorded_blocks;
bool recording_unsaved = false;

int64_t tape_now() { return line_clock - cycles; }

namespace {

// A loader reads the port hundreds of times a frame and tests the EAR bit
// after each read; the keyboard scan reads a few dozen times and a key-wait
// loop tests the key bits only. A saver writes 32 MIC edges a frame in its
// pilot tone and more in its data; the keyboard and the screen write none.
// Fast loading lasts while some frame of the last half second read or wrote
// like that; auto-play stops the deck after a second and a half without.
constexpr int loader_reads = 200;
constexpr int saver_edges = 24;
constexpr int busy_memory = 25;
constexpr int auto_stop_frames = 75;
// Reads further apart than this (T-states) do not follow edges.
constexpr int64_t loader_gap = 1000;

// The ROM's LD-BYTES routine, from its start to the end of LD-EDGE-1, and
// its edge-waiting loop LD-SAMPLE: INC B; RET Z; LD A,7Fh; IN A,(FEh); RRA;
// RET NC; XOR C; AND 20h; JR Z,LD-SAMPLE. 59 T-states and nine instructions
// a turn; the read is the IN's, whose next instruction is at 05F3h.
constexpr uint16_t ld_bytes = 0x0556, ld_bytes_end = 0x0605;
constexpr uint16_t ld_sample = 0x05ED, ld_sample_after_in = 0x05F3;
constexpr uint8_t ld_sample_code[] = {0x04, 0xC8, 0x3E, 0x7F, 0xDB, 0xFE, 0x1F, 0xD0, 0xA9, 0xE6, 0x20, 0x28, 0xF3};
constexpr int ld_sample_turn = 59, ld_sample_instructions = 9;

bool rom_has_loader() {
    return std::memcmp(lorom + ld_sample, ld_sample_code, sizeof ld_sample_code) == 0;
}

uint8_t code_at(uint16_t a) { return readarray[a >> 14][a]; }

// True when the instructions from a (just after an IN to A) test the bit the
// EAR level arrived in: AND or BIT on it, after any rotations of A, returns
// and XORs. Anything else (a mask of the key bits, a store) ends the look.
bool tests_ear_bit(uint16_t a) {
    int bit = 6;  // where the EAR bit now is in A
    for (int n = 0; n < 8; ++n, ++a) {
        const uint8_t op = code_at(a);
        switch (op) {
        case 0x1F: case 0x0F: --bit; break;  // RRA, RRCA
        case 0x17: case 0x07: ++bit; break;  // RLA, RLCA
        case 0xC0: case 0xC8: case 0xD0: case 0xD8: case 0x00: break;  // RET cc, NOP
        case 0xEE: ++a; break;  // XOR n
        case 0xE6: return bit >= 0 && bit < 8 && (code_at(uint16_t(a + 1)) >> bit & 1);  // AND n
        case 0xCB: {  // BIT b,A
            const uint8_t o = code_at(uint16_t(a + 1));
            return (o & 0xC7) == 0x47 && ((o >> 3) & 7) == bit;
        }
        default:
            if ((op & 0xF8) == 0xA8) break;  // XOR r
            return false;
        }
    }
    return false;
}

// The ROM's loader samples the port in a loop of its own; between two edges
// every turn reads the same value. When this read (at clock t) will go round
// the loop again, the turns up to the last one that would read the same value
// before the next edge, before B runs out and within the frame are made at
// once: B counts them, R their instructions, F is as INC B left it (AND
// cleared the carry), and the clock moves on. Returns the turns skipped.
int skip_ld_sample(int value, int64_t t) {
    if (!tape_skip_edge_waits || pc != ld_sample_after_in || !deck.playing || !(value & 1) ||
        ((deck.level << 5) ^ bc.by.lo) & 0x20 || !rom_has_loader())
        return 0;
    // An interrupt the program would take stops the turns.
    if (iff1 > 1 || (iff1 == 1 && intreq)) return 0;
    int64_t turns = 255 - bc.by.hi;
    turns = std::min<int64_t>(turns, (deck.span_end - 1 - t) / ld_sample_turn);
    turns = std::min<int64_t>(turns, (frame_end_clock - 1 - t) / ld_sample_turn);
    if (turns <= 0) return 0;
    const int n = int(turns);
    bc.by.hi = uint8_t(bc.by.hi + n);
    f &= uint8_t(~F_C);
    setinc(bc.by.hi);
    r_reg = uint8_t(r_reg + n * ld_sample_instructions);
    cycles -= n * ld_sample_turn;
    return n;
}

// Moves the head on to the clock t, through every span that has ended.
void advance(int64_t t) {
    const std::vector<tape_span> &spans = deck.tape.spans;
    while (deck.playing && t >= deck.span_end) {
        deck.played += spans[deck.pos].length;
        if (++deck.pos >= spans.size()) {
            deck.playing = false;
            deck.left = 0;
            deck.level = 0;
            return;
        }
        const tape_span &s = spans[deck.pos];
        if (s.stop) {
            deck.playing = false;
            ++deck.pos;
            deck.left = deck.pos < spans.size() ? spans[deck.pos].length : 0;
            return;
        }
        deck.level = s.level;
        deck.span_end += s.length;
    }
}

}  // namespace

void tape_play() {
    if (deck.playing || deck.pos >= deck.tape.spans.size()) return;
    // The stop of a select block under the head (the tape's first span, or
    // the first after a part chosen) is reached at once: the choice is due.
    if (deck.tape.spans[deck.pos].stop)
        for (const tape_select &s : deck.tape.selects)
            if (s.pos == deck.pos + 1) {
                ++deck.pos;
                deck.left = deck.pos < deck.tape.spans.size() ? deck.tape.spans[deck.pos].length : 0;
                return;
            }
    deck.playing = true;
    deck.level = deck.tape.spans[deck.pos].level;
    deck.span_end = tape_now() + deck.left;
    deck.busy_frames = 0;
    deck.loading_seen = false;
    deck.user_stopped = false;
}

void tape_stop_by_user() {
    tape_stop();
    deck.user_stopped = deck.idle_frames < auto_stop_frames;
}

void tape_stop() {
    if (!deck.playing) return;
    const int64_t t = tape_now();
    advance(t);
    if (!deck.playing) return;
    deck.playing = false;
    deck.left = uint32_t(deck.span_end - t);
}

void tape_rewind() {
    const bool was_playing = deck.playing;
    deck.playing = false;
    deck.pos = 0;
    deck.played = 0;
    deck.left = deck.tape.spans.empty() ? 0 : deck.tape.spans[0].length;
    if (was_playing) tape_play();
}

int tape_ear(int value) {
    int64_t t = tape_now();
    if (deck.playing) advance(t);
    if (tests_ear_bit(pc)) {
        const int skipped = skip_ld_sample(value | deck.level << 6, t);
        if (t - deck.last_read <= loader_gap) ++deck.reads;
        deck.reads += skipped;
        t += int64_t(skipped) * ld_sample_turn;
    }
    deck.last_read = t;
    return deck.playing ? deck.level : 0;
}

namespace {

// T-states of the tape before the head.
uint64_t tape_position() {
    uint64_t at = deck.played;
    if (deck.pos < deck.tape.spans.size()) {
        const int64_t left = deck.playing ? deck.span_end - tape_now() : deck.left;
        at += deck.tape.spans[deck.pos].length - uint64_t(left > 0 ? left : 0);
    }
    return at;
}

}  // namespace

int tape_percent() {
    if (deck.tape.length == 0) return 0;
    return int(tape_position() * 100 / deck.tape.length);
}

std::size_t tape_mark_now() {
    const std::vector<tape_mark> &marks = deck.tape.marks;
    const uint64_t at = tape_position();
    std::size_t now = marks.size();
    for (std::size_t k = 0; k < marks.size() && marks[k].at <= at; ++k) now = k;
    return now;
}

void tape_seek(std::size_t mark) {
    if (mark >= deck.tape.marks.size()) return;
    tape_stop();
    const uint64_t at = deck.tape.marks[mark].at;
    const std::vector<tape_span> &spans = deck.tape.spans;
    // The span the block begins in (a span may hold the end of the block
    // before it too), and how much of it is left from there.
    uint64_t before = 0;
    std::size_t pos = 0;
    while (pos < spans.size() && before + spans[pos].length <= at) before += spans[pos++].length;
    deck.pos = pos;
    deck.played = before;
    deck.left = pos < spans.size() ? uint32_t(spans[pos].length - (at - before)) : 0;
}

bool tape_port_busy() { return deck.busy_frames < busy_memory; }

// ---- Recording ----
//
// The ROM saves a block as a pilot tone of 2168 T-state pulses, two sync
// pulses of 667 and 735, then two pulses per bit, 855 each for a 0 and 1710
// for a 1. The decoder measures each pulse between two MIC edges and takes
// generous windows around those lengths, so any standard-speed saver records.

namespace {

mic_decoder mic;

bool within(uint32_t t, uint32_t lo, uint32_t hi) { return t >= lo && t <= hi; }

void end_block() {
    // A first pulse with no second (the saver's last edge) still counts.
    if (mic.state == mic_phase::data && mic.half) {
        mic.byte = uint8_t(mic.byte << 1 | (mic.half > 1282));
        if (++mic.bits == 8) mic.bytes.push_back(mic.byte);
    }
    if (!mic.bytes.empty()) {
        recorded_blocks.push_back(mic.bytes);
        recording_unsaved = true;
    }
    mic.bytes.clear();
    mic.state = mic_phase::hunting;
    mic.pilots = 0;
}

void feed(uint32_t t) {
    switch (mic.state) {
    case mic_phase::hunting:
        if (within(t, 1800, 2600))
            ++mic.pilots;
        else if (mic.pilots >= 256 && within(t, 400, 1000))
            mic.state = mic_phase::sync;
        else
            mic.pilots = 0;
        break;
    case mic_phase::sync:
        if (within(t, 400, 1100)) {
            mic.state = mic_phase::data;
            mic.half = 0;
            mic.bits = 0;
            mic.bytes.clear();
        } else {
            mic.state = mic_phase::hunting;
            mic.pilots = 0;
        }
        break;
    case mic_phase::data:
        if (!mic.half) {
            if (within(t, 300, 2400)) {
                mic.half = t;
            } else {
                end_block();
                feed(t);
            }
            break;
        }
        const uint32_t pair = mic.half + t;
        mic.half = 0;
        if (!within(pair, 1000, 4500)) {
            end_block();
            break;
        }
        mic.byte = uint8_t(mic.byte << 1 | (pair > 2565));
        if (++mic.bits == 8) {
            mic.bytes.push_back(mic.byte);
            mic.bits = 0;
        }
        break;
    }
}

}  // namespace

void set_recording(bool on) {
    if (on == tape_recording) return;
    if (!on) end_block();
    mic = mic_decoder();
    mic.last_edge = tape_now();
    tape_recording = on;
}

void tape_mic_edge() {
    const int64_t t = tape_now();
    ++deck.edges;
    const int64_t pulse = t - mic.last_edge;
    mic.last_edge = t;
    feed(uint32_t(pulse > 0xFFFFFF ? 0xFFFFFF : pulse));
}

void finish_recorded_block() {
    if (mic.state != mic_phase::hunting && tape_now() - mic.last_edge > 20000) end_block();
}

std::vector<uint8_t> recording_as_tap() {
    std::vector<uint8_t> out;
    for (const std::vector<uint8_t> &b : recorded_blocks) {
        // A .tap block holds at most 65535 bytes; a longer recording is cut there.
        const std::size_t n = b.size() < 0xFFFF ? b.size() : 0xFFFF;
        out.push_back(uint8_t(n));
        out.push_back(uint8_t(n >> 8));
        out.insert(out.end(), b.begin(), b.begin() + long(n));
    }
    return out;
}

// ---- Typing LOAD "" ----

bool rom_spells_keywords() {
    static constexpr uint8_t mark[] = {'N', 'i', 'n', 'e', ' ', 'T', 'i', 'l', 'e', 's'};
    const uint8_t *end = lorom + rom_size;
    return std::search(static_cast<const uint8_t *>(lorom), end, mark, mark + sizeof mark) != end;
}

void start_typing(const std::string &text, int wait_frames, bool play_after) {
    type_text(text, wait_frames, false, play_after ? tape_play : nullptr);
}

void start_autoload() {
    resetz80();
    // At the K cursor a Sinclair ROM takes LOAD as the J key.
    start_typing("load \"\"\n", rom_ready_frames, true);
}

namespace {

// The ROM's loader runs (also in its waits, which read nothing for a second).
bool in_rom_loader() { return pc >= ld_bytes && pc < ld_bytes_end && rom_has_loader(); }

void auto_play(bool loading) {
    // At a select block the deck waits for the choice.
    if (!tape_auto_play || deck.tape.spans.empty() || tape_select_due()) return;
    if (deck.playing) {
        if (loading)
            deck.loading_seen = true;
        else if (deck.loading_seen && deck.idle_frames >= auto_stop_frames)
            tape_stop();
    } else if (deck.user_stopped) {
        if (deck.idle_frames >= auto_stop_frames) deck.user_stopped = false;
    } else if (loading && deck.pos < deck.tape.spans.size() && !typing_running()) {
        // (A typed LOAD starts the deck itself, after its last key.)
        tape_play();
        deck.loading_seen = true;
    }
}

}  // namespace

void tape_frame() {
    typing_frame();
    if (deck.playing) advance(tape_now());
    const bool loading = deck.reads > loader_reads || (!deck.tape.spans.empty() && in_rom_loader());
    if (loading || deck.edges > saver_edges)
        deck.busy_frames = 0;
    else if (deck.busy_frames < busy_memory)
        ++deck.busy_frames;
    if (loading)
        deck.idle_frames = 0;
    else if (deck.idle_frames < auto_stop_frames)
        ++deck.idle_frames;
    deck.reads = 0;
    deck.edges = 0;
    auto_play(loading);
    if (tape_recording) finish_recorded_block();
}

// ---- The whole tape side ----

uint32_t tape_insertions = 0;

namespace {

// The image records share, and the insertion it was taken from.
std::shared_ptr<const tape_image> shared_tape;
uint32_t shared_insertion = ~0u;

}  // namespace

void capture_tape_side(tape_side &out) {
    if (shared_insertion != tape_insertions || !shared_tape) {
        shared_tape = std::make_shared<const tape_image>(deck.tape);
        shared_insertion = tape_insertions;
    }
    out.tape = shared_tape;
    // Every field of the deck but its image, which the record shares.
    tape_image image = std::move(deck.tape);
    out.deck = deck;
    deck.tape = std::move(image);
    out.line_clock = line_clock;
    out.recording = tape_recording;
    out.blocks = recorded_blocks;
    out.unsaved = recording_unsaved;
    out.mic = mic;
    capture_typing(out.typing);
}

void restore_tape_side(const tape_side &in) {
    tape_image image;
    const bool same = in.tape == shared_tape && shared_insertion == tape_insertions && in.tape &&
                      in.tape->spans.size() == deck.tape.spans.size() && in.tape->length == deck.tape.length;
    if (!same) {
        // Another tape went in since: the record's own goes back into the deck.
        if (in.tape) image = *in.tape;
        shared_tape = in.tape;
        shared_insertion = ++tape_insertions;
    } else {
        image = std::move(deck.tape);
    }
    deck = in.deck;
    deck.tape = std::move(image);
    line_clock = in.line_clock;
    tape_recording = in.recording;
    recorded_blocks = in.blocks;
    recording_unsaved = in.unsaved;
    mic = in.mic;
    restore_typing(in.typing);
}
