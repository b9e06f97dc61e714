// The snapshot chooser of the main program.
#pragma once

#include <string>

// Stops the beeper stream, shows the open-file dialog, loads the chosen
// snapshot (the extension's first letter, Z or z, picks the .z80 loader) and
// restarts the stream. A rejected file is reported in a message box.
void openfilesna();

// Loads one snapshot or tape file as the chooser does, reporting a failure
// the same way (the stream stopped meanwhile). A file loaded goes first in
// the recent files. True when it was loaded.
bool load_file_path(const std::string &path);
// The same for the command line's file.
void load_snapshot_path(const char *path);

// The command line's file under --screenshot, where nobody answers a box: a
// tape is loaded (see load_tape_unattended), a snapshot opened, and a
// refused file reported on standard error; false then.
bool load_path_unattended(const std::string &path);
