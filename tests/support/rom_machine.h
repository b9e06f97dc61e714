// A machine running the default ROM, and its screen read back as text.
#pragma once

#include <cstdint>
#include <string>

// The byte of pixel line `line` (0..7) of character cell (row, col).
uint16_t cell_addr(int row, int col, int line);
// Reads one character cell with the ROM's own character set (at 0x3D00,
// characters 0x20..0x7F). An inverse glyph reads as its character; a cell
// matching no glyph is '?'.
char decode_cell(int row, int col);
// One character row of the screen as text, and the same without trailing spaces.
std::string screen_row(int row);
std::string trimmed(const std::string &s);
// A fresh machine with the default ROM, reset and run for `frames` frames with
// the frame interrupt raised after each, as the main loop does. Returns false
// (with the reason in error) when the ROM cannot be read.
bool boot_rom(int frames, std::string &error);
// Runs frames with the frame interrupt after each; after_frame, when given,
// is called at the end of every frame.
void run_frames(int frames, void (*after_frame)() = nullptr);
// What run_frames runs as one frame: execz80, or frame_by_steps for a test
// that holds the single step to the same behaviour.
extern void (*run_frame)();
// One frame as execz80 runs it (each scanline polled and given its
// T-states), one stepz80 at a time.
void frame_by_steps();
// Types text on the emulated keyboard as a person would: each key held for
// six frames and let go for six (the ROM scans the keys once per frame
// interrupt). Letters, digits, space, newline (ENTER) and the symbols
// * / . + - = , ; : " (SYMBOL SHIFT with their key); the ROM's editor takes
// keywords spelled out letter by letter. after_frame as for run_frames.
void type_keys(const std::string &text, void (*after_frame)() = nullptr);
