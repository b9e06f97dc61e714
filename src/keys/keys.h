// Host keys as the emulated keyboard sees them.
//
// Allegro reports each key change from its own input thread. The changes are
// queued there with the time they happened, and the main loop hands them to
// the keyboard matrix one emulated frame at a time: when frames are owed after
// a stall, each frame sees the keys as they stood at its own moment, not as
// they stand when the burst runs. With no frames owed the matrix sees the
// keys as they are now.
//
// A press also records the character the host layout made of it. A character
// the Spectrum types with SYMBOL SHIFT (" ; : , . and the rest) presses
// SYMBOL SHIFT and that Spectrum key for as long as the host key is down,
// instead of the host key's own mapping, and the host Shift held with it does
// not press CAPS SHIFT meanwhile.
#pragma once

#include <cstdint>

// A Spectrum key on the matrix: half-row 0..7 and data bit 0..4.
struct matrix_key {
    int8_t half_row;
    int8_t bit;
};
constexpr matrix_key no_matrix_key{-1, -1};
constexpr matrix_key symbol_shift_key{7, 1};

// The key that, with SYMBOL SHIFT, types host character ch (a Unicode code
// point), or no_matrix_key when ch is not one of those characters.
matrix_key symbol_key(int ch);
// The key host key code presses by its character ch, given which Shift keys
// are held: no_matrix_key for a keypad key, a character outside the symbol
// table, or a digit key held with right Shift alone (CAPS SHIFT and the digit
// then, as without character input: EDIT, the cursor keys, GRAPHICS ...).
matrix_key key_by_character(int code, int ch, bool left_shift, bool right_shift);

// Hooks Allegro's keyboard callbacks and starts the replay from an empty
// state. Until then the matrix reads Allegro's key[] array directly.
void install_key_replay();
// Unhooks the callbacks; the matrix reads key[] again.
void remove_key_replay();

// The callbacks' work, with the time given: key code went down or up at time
// (microseconds of key_clock), and the character its latest press yielded.
void record_key_change(int64_t time, int code, bool down);
void record_key_character(int code, int ch);

// Called by the frame timer on every tick.
void note_frame_tick();
// Called before each emulated frame with the number of frames owed, this
// one included: applies the queued changes that are due by the frame's moment.
void keys_frame(int owed);

// For the matrix: whether host key code presses its own Spectrum keys in this
// frame, and the keys pressed by character in half-row h (active high bits).
bool host_key_down(int code);
int character_row(int h);

// The clock key changes are stamped with, in microseconds: steady_clock by
// default; tests replace it.
extern int64_t (*key_clock)();
