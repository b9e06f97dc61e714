// Files dropped on the window from a file manager (the X drag-and-drop
// protocol, XDND).
//
// Allegro reads its window's events on its own X connection and would
// swallow the protocol's messages. So the program opens a second connection
// with a small unmapped window of its own, and names that window as the
// drop proxy of Allegro's window: a drag source then talks to our window,
// and the main loop reads the messages without waiting.
#pragma once

#include <string>

// Makes the program's window a drop target. Called once the window is open;
// without an X display nothing is dropped.
void start_drop_target();

// Answers every drag message that has arrived since the last call, then
// returns true for one drop, with its file's path, or with refusal saying why
// it cannot be loaded (refusal is empty for a file). After a mode change it
// also makes a new window a drop target.
bool next_dropped_file(std::string &path, std::string &refusal);

// The local file named by the first URI of a text/uri-list (lines of URIs,
// CR LF between them, # for comments), percent-decoded. False, with why, for
// a list without a URI, a URI that is not a file, a file on another host (the
// names host, "localhost" and the empty one mean this machine) or a bad escape.
bool path_from_uri_list(const std::string &list, const std::string &host, std::string &path, std::string &why);
