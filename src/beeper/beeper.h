// The band-limited beeper: every change of the speaker level, timed to the
// T-state, rendered as a band-limited step into a 16-bit stream at the sound
// card's rate (the "hifi" sound; the scanline-sampled stream of src/ula stays
// the "classic" one).
//
// The ULA port appends each change of the EAR and MIC bits to a fixed list
// (its T-state within the frame and the new level); the scanline poll adds
// the playing tape's EAR level the same way. After the frame the list is
// rendered: each change is a band-limited step (a windowed sinc's running
// sum) at its exact fractional sample, scaled by the change of level and
// taken through a gentle DC blocker that brings the sound to zero whenever
// the level holds still; the steps' whole responses come from a table, so
// a busy frame costs a few nanoseconds an edge. The frame's samples then go
// into a looped voice a little ahead of the play position.
#pragma once

#include <cstdint>

// ---- Which stream plays ----

// True while the hifi sound is chosen: the port then records its edges and
// mixsound hands the frame to this module instead of the classic stream.
extern bool hifi_sound;

// ---- The edges of the current frame ----

struct beeper_edge {
    int32_t t;      // T-state within the frame (from the start of its first scanline)
    uint8_t level;  // the speaker's new level: (EAR << 1) | MIC, EAR including the tape
};
// More than a frame can hold: an OUT takes at least 11 T-states.
constexpr int max_beeper_edges = 8192;
extern beeper_edge beeper_edges[max_beeper_edges];
extern int beeper_edge_count;
// The line clock at the start of the current frame's first scanline.
extern int64_t beeper_frame_start;
// The tape's EAR level as the scanline poll last saw it, as level bit 1 (0 or 2).
extern uint8_t beeper_tape_bit;

// Appends an edge at T-state t of the frame when the level changes; the list
// keeps its last slot for the frame's final level when it is full.
inline void beeper_record(int64_t now, uint8_t ula) {
    const uint8_t level = uint8_t(((ula >> 3) & 3) | beeper_tape_bit);
    const int n = beeper_edge_count;
    if (n > 0 && beeper_edges[n - 1].level == level) return;
    beeper_edges[n < max_beeper_edges ? n : n - 1] = {int32_t(now - beeper_frame_start), level};
    beeper_edge_count = n < max_beeper_edges ? n + 1 : n;
}

// Starts a frame whose first scanline starts at clock: edges the last frame
// left unrendered (muted, or fast loading) are dropped, their level kept.
void beeper_start_frame(int64_t clock);

// The scanline poll's part: line 0 starts a new frame, and a change of the
// tape's EAR level is an edge at the line's start. clock is the line clock at
// the start of the line; tape is the deck's EAR level heard now (0 or 1);
// ula the port byte.
inline void beeper_line(int line, int64_t clock, int tape, uint8_t ula) {
    if (line == 0) beeper_start_frame(clock);
    const uint8_t bit = tape ? 2 : 0;
    if (bit == beeper_tape_bit) return;
    beeper_tape_bit = bit;
    beeper_record(clock, ula);
}

// ---- Synthesis ----

// Samples per frame at a rate: the frame rate is 50 Hz.
int beeper_samples_for_rate(int rate);
// Builds the step table for samples_per_frame output samples per frame and
// clears the synthesis: the level now, with no sound, is zero.
void beeper_setup(int samples_per_frame);
int beeper_samples_per_frame();
// Renders the frame's edges into out (samples_per_frame samples) and empties
// the list. Edges past the frame's end are heard in the next one.
void beeper_render(int16_t *out);
// Clears the synthesis so that the current level sounds as silence: no
// click when the stream starts.
void beeper_settle();

// ---- The stream ----

// Starts and stops the looped voice at the mixer's rate (stopping first).
void start_beeper_stream();
void stop_beeper_stream();
// Renders the frame and queues it in the voice (called by mixsound).
void beeper_mixsound();
// Puts the frame last rendered into the voice, given where it plays now
// (what beeper_mixsound does after rendering).
void beeper_queue_frame(int position);
// Samples queued ahead of the play position after the last frame (-1 with no voice).
int beeper_queued();
