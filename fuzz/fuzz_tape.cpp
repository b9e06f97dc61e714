// Fuzz target for one tape reader (FUZZ_CSW picks .csw, FUZZ_PZX .pzx,
// FUZZ_TZX .tzx, else .tap).
//
// Any input must be taken or refused. A refused input must leave the deck
// (its tape, position and state) and the machine exactly as they were, and
// say why; a taken one must leave the deck rewound and stopped on a tape
// that has a signal, and is then played through the deck to its end (past
// its stop blocks), every edge also fed to the SAVE recorder as a MIC edge.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "tape/tape.h"
#include "z80/z80.h"

namespace {

// A small tape in the deck, part played, before each input.
const uint8_t known[] = {4, 0, 0xFF, 1, 2, 3};

struct snapshot {
    std::size_t spans, pos;
    uint64_t length, played;
    uint32_t left;
    bool playing;
    std::string name;
    uint8_t ram[ram_size];
    uint16_t pc;
};

snapshot before, after;

// Plays the tape in the deck to its end, span by span, recording its edges.
void play_to_end() {
    set_recording(true);
    long steps = 0;
    while (deck.pos < deck.tape.spans.size()) {
        if (!deck.playing) tape_play();
        const uint8_t level = deck.level;
        line_clock = deck.span_end;
        cycles = 0;
        tape_ear(0x1F);
        if (deck.level != level) tape_mic_edge();
        if (++steps % 4096 == 0) tape_frame();
    }
    tape_frame();
    set_recording(false);
    if (tape_percent() != 100 || deck.playing) std::abort();  // the deck did not reach the end
    recorded_blocks.clear();
    recording_unsaved = false;
}

void capture(snapshot &s) {
    s.spans = deck.tape.spans.size();
    s.pos = deck.pos;
    s.length = deck.tape.length;
    s.played = deck.played;
    s.left = deck.left;
    s.playing = deck.playing;
    s.name = deck.name;
    std::memcpy(s.ram, ram, ram_size);
    s.pc = pc;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    initz80();
    for (int a = 0; a < ram_size; ++a) ram[a] = uint8_t(a * 31 + 7);
    pc = 0x1234;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    if (!insert_tape_bytes(known, sizeof known, "known.tap", false).ok) std::abort();
    deck.pos = 3;
    deck.left = 17;
    deck.played = 99;
    capture(before);
#if FUZZ_CSW
    const tape_result result = insert_named_tape(data, size, "fuzz.csw", "fuzz.csw");
#elif FUZZ_PZX
    const tape_result result = insert_named_tape(data, size, "fuzz.pzx", "fuzz.pzx");
#elif FUZZ_TZX
    const tape_result result = insert_tape_bytes(data, size, "fuzz.tzx", true);
#else
    const tape_result result = insert_tape_bytes(data, size, "fuzz.tap", false);
#endif
    capture(after);
    if (std::memcmp(before.ram, after.ram, ram_size) || before.pc != after.pc) std::abort();  // the machine changed
    if (!result.ok) {
        if (result.caption.empty() || result.text.empty() || before.spans != after.spans ||
            before.pos != after.pos || before.length != after.length || before.played != after.played ||
            before.left != after.left || before.playing != after.playing || before.name != after.name)
            std::abort();  // a refused file changed the deck
    } else {
        if (after.length == 0 || after.spans == 0 || after.pos != 0 || after.playing || after.played != 0)
            std::abort();  // a tape taken but not rewound and stopped
        play_to_end();
    }
    return 0;
}
