// Rewind and quick-save slots in the main program: the hot keys' actions,
// the state kept once a second, the rewinding pass and the title's text.
#pragma once

#include <string>

// Once after every emulated frame: keeps the machine's state once a second
// (every 50th frame) while the history is on.
void rewind_frame();

// Delete, while held: the first call goes back one second and shows that
// moment's picture, further calls a second more about every 0.2 s, down to
// the oldest state kept. The sound is muted meanwhile.
void rewind_back();
// One pass of the main loop while rewinding: true while Delete is held (no
// frame runs). Once it is let go, the machine runs on from the moment shown,
// the later states dropped, no frame caught up, and this returns false.
bool rewind_pass();

// Keypad Enter: saves the machine into the current slot. A slot that cannot
// be written is reported in a message box; the machine runs on.
void quick_save();
// Keypad 0: loads the current slot; an empty one is named in the title and
// changes nothing.
void quick_load();
// Keypad 1 .. 9: makes slot n (1..9) the current one, named in the title
// for a second.
void choose_slot(int n);

// " - rewind -12 s" while rewinding, " - slot 3" (and the like) for a second
// after a slot key, else empty.
std::string rewind_title();
