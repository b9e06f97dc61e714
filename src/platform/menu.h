// The popup menu (GTK 3): every action of the table, grouped, each item with
// its hot key beside it, and a submenu of recent files.
#pragma once

#include <string>
#include <vector>

struct menu_entry {
    std::string group;   // the top-level item it sits under ("View")
    std::string label;   // "Scale 3"
    std::string keysym;  // the key shown beside it ("F7"), or empty
    int state;           // an on/off item: 1 on, 0 off; -1: a plain item
    bool recent_files;   // the place of the recent-files submenu, not an item
};

struct menu_choice {
    int entry = -1;   // the entry chosen, or -1
    int recent = -1;  // the recent file chosen, or -1
};

// Pops the menu up at the pointer and waits until it is closed (a choice,
// Escape, a click elsewhere, or a stop request). groups gives the top-level
// order.
menu_choice popup_menu(const std::vector<std::string> &groups, const std::vector<menu_entry> &entries,
                       const std::vector<std::string> &recent);
