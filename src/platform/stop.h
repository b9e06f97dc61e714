// Stop requests from the operating system: SIGTERM, SIGINT and SIGHUP.
//
// The handlers only note the signal. The main loop and every dialog's modal
// loop watch for it, so the program leaves whatever it is doing, closes its
// log and ends as the signal would have ended it: with status 128 + its
// number (143, 130, 129), and no core. A second signal ends it at once.
#pragma once

// Installs the handlers. Called after Allegro is set up, as Allegro installs
// handlers of its own for these signals and they must be replaced.
void install_stop_handlers();

// The signal that asked the program to stop, or 0.
int stop_requested();

// Ends the program for the signal that asked it to stop: the signal's own
// default action is taken, so the parent sees the program ended by it.
[[noreturn]] void end_for_stop_request();
