// The tape deck in the main program: opening a tape, its hot keys, fast
// loading, the title's tape position and the question before an unsaved
// recording is lost.
#pragma once

#include <string>

#include "tape/tape.h"

// Inserts the tape at path, resets the machine and has LOAD "" typed, after
// which the tape plays. A refused file is reported in a message box and
// changes nothing (false).
bool open_tape_path(const std::string &path);
// The same for a tape already put in the deck or refused (result), the
// program loaded from path: an archive's tape.
bool open_inserted_tape(const tape_result &result, const std::string &path);


// While the tape plays (or records) and the program loads (or saves), or LOAD
// "" is being typed, runs frames back to back for a fifth of a second with
// the sound muted, then redraws once, and returns true. Otherwise, and once
// the program no longer uses the tape, returns false: the frame timer paces
// the machine again.
bool fast_pass();

// Fast loading on or off from the start (End changes it later).
void set_fast_loading(bool on);

// For --screenshot: inserts the tape at path, resets the machine, has LOAD ""
// typed and runs frames back to back until the program has loaded from it
// and stopped (or the tape's length and a minute more have passed). A
// refused file is reported on standard error; returns false then.
bool load_tape_unattended(const std::string &path);
// The same for a tape already put in the deck or refused (result).
bool load_inserted_tape_unattended(const tape_result &result);

// Called once a pass: when the deck has stopped at a select block, its parts
// are offered in a list; the one chosen plays on (Cancel: the next block).
void offer_tape_choice_when_due();

// " - tape 37%" while a tape plays, else empty.
std::string tape_title();

// Asked when the program is about to end: true when it may, after the user
// saved or discarded an unsaved recording.
bool may_quit();
