// The tape deck: .tap, .tzx, .pzx and .csw images played into the EAR input, the MIC
// output recorded back into standard-speed blocks, and the typing of LOAD ""
// that starts a tape after a reset.
//
// A tape image is read and checked whole, then turned into one list of level
// spans (the signal stays at one level for so many T-states). The deck plays
// the list against the machine's T-state clock: every even-port read while it
// plays asks for the level at that moment, so the timing is exact to the
// instruction. Nothing here runs unless a tape plays, records or is typed
// for; the port reads are then what they were without a deck.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "typing/typing.h"

#include "typing/typing.h"

// ---- The machine's T-state clock ----

// T-states from power-on to the end of the current scanline: pollline adds a
// line at the start of each. The T-state of an instruction now running is
// line_clock - cycles.
extern int64_t line_clock;
// The clock at the current instruction.
int64_t tape_now();

// ---- Tape images ----

// One stretch of signal: the level (0 or 1) held for length T-states. A stop
// span (length 0) stops the deck when it is reached.
struct tape_span {
    uint32_t length;
    uint8_t level;
    uint8_t stop;
};

// A block as the tape browser lists it: where it begins, its number in the
// file and what a user reads ("Program: hello", "Pause 1 s").
struct tape_mark {
    uint64_t at;  // T-states of the tape before it
    int number;
    std::string text;
};

// A select block (TZX 0x28): the deck stops at it, and the user picks the
// part of the tape to play on from.
struct tape_select {
    std::size_t pos = 0;             // the span after its stop
    std::vector<std::string> texts;  // each part's description
    std::vector<uint32_t> blocks;    // the block each part starts at
};

struct tape_image {
    std::vector<tape_span> spans;
    uint64_t length = 0;  // T-states of the whole tape
    int blocks = 0;       // data blocks on it (for messages)
    bool for_128k = false;  // its hardware information says it needs a 128K Spectrum
    std::vector<tape_select> selects;
    std::vector<tape_mark> marks;  // in playing order, each block once
    std::shared_ptr<const std::vector<uint8_t>> source;  // a .tzx's bytes when it has select blocks
};

// Said when a tape for the 128K is put in the deck; it is played all the same.
constexpr const char *tape_128k_caption = "128K Tape";
constexpr const char *tape_128k_text =
    "This tape is for the 128K Spectrum; Brenvik emulates the 48K, so it may not load.";

struct tape_result {
    bool ok;
    std::string caption;  // message box caption when !ok ("Not Found" for unopenable files)
    std::string text;     // message box text when !ok
};

// The readers over a whole file in memory; name stands for the file in
// messages. out is written only when the result is ok.
tape_result read_tap(const uint8_t *data, std::size_t size, const std::string &name, tape_image &out);
tape_result read_tzx(const uint8_t *data, std::size_t size, const std::string &name, tape_image &out);
// A .csw recording, version 1 or 2, RLE or Z-RLE.
tape_result read_csw(const uint8_t *data, std::size_t size, const std::string &name, tape_image &out);
// A .pzx tape, version 1.
tape_result read_pzx(const uint8_t *data, std::size_t size, const std::string &name, tape_image &out);
// True when the extension (the text after the last dot, any case) names a tape.
bool is_tape_name(const std::string &path);
// True when path names a tape by its extension, or names no snapshot by
// its extension and its file begins with a tape's signature.
bool is_tape_file(const std::string &path);
// True when the bytes begin with a tape format's signature (TZX, CSW, PZX).
bool has_tape_signature(const uint8_t *data, std::size_t size);
// Reads path (.tzx, .csw or .pzx by its signature or else its extension, else
// .tap) and, when it
// is accepted, puts it in the deck, rewound and stopped. A refused file leaves
// the deck exactly as it was.
tape_result insert_tape(const std::string &path);
// As insert_tape, over bytes in memory.
tape_result insert_tape_bytes(const uint8_t *data, std::size_t size, const std::string &name, bool tzx);
// The same with the reader picked as insert_tape picks it, by file_name's
// extension or the bytes' signature; name stands for the tape in messages
// and in the deck.
tape_result insert_named_tape(const uint8_t *data, std::size_t size, const std::string &name,
                              const std::string &file_name);

// ---- The deck ----

// The mark (an index of deck.tape.marks) of the block under the head, or
// marks.size() before the first.
std::size_t tape_mark_now();
// Moves the head to where the marked block begins, the deck stopped there.
void tape_seek(std::size_t mark);

// The select block the deck is stopped at, or nullptr.
const tape_select *tape_select_due();
// Plays on from the part (an index of the due select's texts) chosen: the
// tape after the select block is built again from that part's block. Any
// other answer plays on from the next block.
void tape_choose(std::size_t part);

struct deck_state {
    tape_image tape;
    std::string name;      // the file inserted, or empty
    bool playing = false;
    std::size_t pos = 0;   // span now under the head
    uint32_t left = 0;     // T-states left in that span when stopped
    int64_t span_end = 0;  // clock at which that span ends, while playing
    uint64_t played = 0;   // T-states of the spans before pos
    uint8_t level = 0;     // the EAR level last played
    int reads = 0;         // even-port reads in the current frame that follow the EAR level as a loader's do
    int64_t last_read = 0; // clock of the last even-port read
    int edges = 0;         // MIC edges recorded in the current frame
    int busy_frames = 1 << 20;  // frames since the program last read or wrote the port like a loader or saver
    int idle_frames = 1 << 20;  // frames since the program last read the port like a loader
    bool loading_seen = false;  // the program loaded since the deck last started playing
    bool user_stopped = false;  // stopped by the user while the program loaded: auto-play waits until it stops
};
extern deck_state deck;
// Counts the tapes put in the deck, so that a record sharing an image can
// tell whether the deck still holds that one.
extern uint32_t tape_insertions;

void tape_play();
void tape_stop();
void tape_rewind();
// The EAR level now (0 or 1; 0 while the deck is stopped), the deck moved on
// to the current instruction. Called by the ULA port for each even-port read
// while a tape is in the deck, with the value the read gives apart from the
// EAR bit. The read is counted as a loader's when the instructions after it
// test the EAR bit. When it is the ROM's edge-waiting loop that reads, and
// the loop would read the same value again and again until the next edge,
// the processor is moved on in one step (B, R, F and the clock) to the last
// of those reads, within the frame: exactly as running them would.
int tape_ear(int value);
// Whether the ROM's edge-waiting loop is made in one step as above: on, and
// off only to compare the two.
extern bool tape_skip_edge_waits;
// Position in the tape, 0..100.
int tape_percent();
// True while the program reads the port as a loader does (hundreds of reads
// a frame, each followed by a test of the EAR bit; not the keyboard scan nor
// a key-wait loop), runs the ROM's loader (also through its one-second
// waits), or writes MIC edges as a saver does, counted over the last half
// second.
bool tape_port_busy();

// Auto-play, on unless switched off: the deck starts playing when the
// program reads the port as a loader does, and stops once it has stopped
// doing so for a second and a half (longer than the ROM's own wait between
// two blocks). Insert stopping the deck while the program loads holds it
// until the program stops loading.
extern bool tape_auto_play;
// The user's stop (Insert): the deck stops and auto-play leaves it be until
// the program stops loading.
void tape_stop_by_user();
// The clock at the end of the frame now running; set as each frame starts.
extern int64_t frame_end_clock;

// ---- Recording ----

// Recording on or off. While on, each change of the MIC bit written to the
// ULA is timed and decoded: pilot, sync and data pulses of the standard
// speed become one block (flag, data, checksum) each.
extern bool tape_recording;
void set_recording(bool on);
// Called by the ULA port when the MIC bit changes while recording.
void tape_mic_edge();
// The blocks recorded so far, and whether they were written out since.
extern std::vector<std::vector<uint8_t>> recorded_blocks;
extern bool recording_unsaved;
// The recorded blocks as one .tap file.
std::vector<uint8_t> recording_as_tap();
// Ends a block whose signal has stopped.
void finish_recorded_block();

// ---- Typing LOAD "" ----

// Resets the machine, waits for the ROM's editor, then types LOAD "" and ENTER (keywords spelled
// out for the OpenSE ROM, the J key for one that takes keywords as keys) and
// starts the deck.
void start_autoload();
// Types text as typing/typing.h does after wait_frames frames; starts the
// deck after the last key when play_after is set.
void start_typing(const std::string &text, int wait_frames, bool play_after);
// True when the ROM in lorom takes keywords spelled out letter by letter.
bool rom_spells_keywords();

// Once per emulated frame, after it: the typing, the deck's stop blocks and
// end, the port-read count, the end of a recorded block.
void tape_frame();

// ---- The whole tape side, for the machine's state record ----

// The MIC decoder's progress through the block it is recording.
enum class mic_phase { hunting, sync, data };
struct mic_decoder {
    mic_phase state = mic_phase::hunting;
    int64_t last_edge = 0;
    int pilots = 0;
    uint32_t half = 0;  // first pulse of a bit, 0 before it
    int bits = 0;
    uint8_t byte = 0;
    std::vector<uint8_t> bytes;
};

// Everything of the deck, the recorder, the typing and the T-state clock that
// the running machine goes on from. The image is shared, not copied: records
// taken while the same tape is in hold the same one.
struct tape_side {
    std::shared_ptr<const tape_image> tape;
    deck_state deck;  // its tape left empty
    int64_t line_clock = 0;
    bool recording = false;
    std::vector<std::vector<uint8_t>> blocks;
    bool unsaved = false;
    mic_decoder mic;
    typing_record typing;
};
void capture_tape_side(tape_side &out);
// Puts the deck, recorder, typing and clock back as captured; the image is
// copied into the deck only when another tape has been inserted since.
void restore_tape_side(const tape_side &in);
