// Typing text into the Spectrum as a user would: each character becomes the
// keys the ROM's editor needs for it, held on the keyboard matrix for a few
// frames and let go, at a pace the editor keeps up with.
//
// The OpenSE BASIC ROM takes keywords spelled out, letter by letter. A
// Sinclair-style ROM takes each keyword as one key in the right cursor
// mode: at the start of a statement (after the line number, a ':' or THEN)
// the K cursor makes a letter key a command (P is PRINT); elsewhere SYMBOL
// SHIFT gives TO, THEN, AND, <= and the like, and the E mode (CAPS SHIFT with
// SYMBOL SHIFT first) the functions and the remaining commands. Text in
// quotes and after REM is typed as it stands. Symbols are typed with SYMBOL
// SHIFT, capitals with CAPS SHIFT, and each line break is ENTER.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "keys/keys.h"

// Keys held by the typing, by half-row (bits as the port reads them, active high).
extern uint8_t typed_keys[8];

// One press: up to two keys held together, then the frames to wait after
// they are let go.
struct stroke {
    matrix_key keys[2];
    int8_t count;
    int8_t gap;
};

// Frames from a reset until the ROM's editor takes keys, with room to spare.
constexpr int rom_ready_frames = 150;

// The strokes for UTF-8 text, keywords spelled out or taken as keys; each
// character the Spectrum cannot type is put once (UTF-8) in untypeable and
// left out.
std::vector<stroke> strokes_for_text(const std::string &text, bool spelled_keywords, std::string &untypeable);

// Types text (as strokes_for_text, for the ROM in the machine) after
// wait_frames frames, replacing any typing under way. With
// stop_on_user_key, the typing stops at once when the user presses any
// key. done, when given, is called after the last key. Returns the
// characters left out, each once ("" when none).
std::string type_text(const std::string &text, int wait_frames, bool stop_on_user_key, void (*done)() = nullptr);
bool typing_running();
// Once per emulated frame, after it: holds or lets go of the next key.
void typing_frame();

// The typing's progress, for the machine's state record: the strokes, how
// far they are typed, and the keys held now.
struct typing_record {
    std::vector<stroke> strokes;
    std::size_t typed = 0;
    int wait = 0;
    bool holding = false;
    bool stop_on_key = false;
    void (*done)() = nullptr;
    uint8_t keys[8] = {};
};
void capture_typing(typing_record &out);
void restore_typing(const typing_record &in);
