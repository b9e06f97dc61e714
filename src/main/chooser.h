// The snapshot chooser of the main program.
#pragma once

// Stops the beeper stream, shows the open-file dialog, loads the chosen
// snapshot (the extension's first letter, Z or z, picks the .z80 loader) and
// restarts the stream. A rejected file is reported in a message box.
void openfilesna();

// Loads one snapshot file as the chooser does, reporting a failure the same way.
void load_snapshot_path(const char *path);
