// Saving snapshots from the running program: the hot key's save dialog and
// the snapshot written when the program ends.
#pragma once

#include <string>

// Stops the beeper stream, shows the save dialog, writes the snapshot in the
// format the chosen name's extension picks (.z80 added when the name has
// neither .z80 nor .sna) and restarts the stream. A failure is reported in a
// message box; the machine runs on unchanged either way.
void savefilesnapshot();

// The name the save dialog suggests: brenvik-YYYYMMDD-HHMMSS.z80, local time.
std::string suggested_snapshot_name();
// The name to write for a name chosen in the dialog: itself when it ends in
// .z80 or .sna (any case), otherwise with .z80 added.
std::string with_snapshot_extension(const std::string &path);

// Checks --save-on-exit before the machine starts, so that a quit cannot end
// in a surprise: false (with a message on standard error) when its FILE
// ends neither in .z80 nor in .sna.
bool check_save_on_exit();
// Writes the --save-on-exit snapshot, when one was asked for. Returns false
// after reporting a failure on standard error and in a message box.
bool save_on_exit();
