// The popup menu in the main program: built from the table of actions.
#pragma once

struct action;

// Shows the menu and returns the action chosen, or nullptr. A recent file
// chosen there is loaded here, as if chosen with F1 (nullptr is returned).
const action *choose_from_menu();

// Starts counting clicks of the right mouse button (Allegro's mouse is up).
void watch_right_button();
// True when the right mouse button has been let go over the window since the last call.
bool right_button_clicked();
