// POKEs in the running program: the trainers dialog, the .pok offered
// beside a program that loads, and the pokes asked for on the command line.
#pragma once

#include <string>

// The trainers dialog for the .pok open now: ticking a trainer writes its
// values (asking for the number a value of 256 stands for), unticking it
// puts back what it replaced. Without a .pok open it says how to open one.
void open_pokes();
// Opens the .pok at path (F1's chooser) and shows its trainers. The same
// file as the one open keeps its ticks. A damaged file is refused in a
// message box, with its line number, and changes nothing.
void open_pok_path(const std::string &path);
// Called when the program at path has loaded: the old trainers' ticks no
// longer hold, and a .pok of the same name beside it is offered once the
// machine is ready (a tape has stopped playing).
void program_loaded(const std::string &path);
// Called once a pass: asks about an offered .pok when it is due.
void offer_pokes_when_due();
// --pok: every trainer of the file; --poke: each address and value. Called
// once at start, after the command line's program has loaded. False when the
// .pok cannot be used (said on standard error).
bool start_pokes();
