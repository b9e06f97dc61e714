// The popup menu in the main program: built from the table of actions.
#pragma once

struct action;

// Shows the menu and returns the action chosen, or nullptr. A recent file
// chosen there is loaded here, as if chosen with F1 (nullptr is returned).
const action *choose_from_menu();

// True once the right mouse button has been pressed and let go over the window.
bool right_button_clicked();
