// Files dropped on the window, loaded as the snapshot chooser loads them.
#pragma once

// Loads the file of one drop that has arrived since the last call, as if it
// had been chosen with F1; a drop that names no local file is reported in a
// message box. Does nothing, and returns false, when nothing was dropped.
bool load_dropped_file();
