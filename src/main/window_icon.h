// The icon of the program's window.
#pragma once

// Gives Allegro the program's icon for every window it creates. Called
// before Allegro starts.
void set_window_icon();
