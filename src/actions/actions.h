// Every user action, as data: one row each gives its hot key, whether it acts
// while the key is held or once it is let go, where it sits in the menu, its
// one-line help and the function that does it. The hot-key loop walks the
// table, the popup menu is built from it, --help prints its keys, and a test
// holds README's and the manual page's tables of keys to it.
#pragma once

#include <cstddef>
#include <string>

enum class acts {
    on_release,  // once the key is let go; while it is held nothing else runs
    while_held,  // on every pass of the main loop while the key is down
    on_change,   // each time the key's state changes: Allegro keeps Pause down
                 // from one press to the next, as the key sends no release
};

struct action {
    int key;               // Allegro KEY_ code; 0: reached from the menu only
    const char *key_name;  // the key as the documentation names it ("Keypad +")
    const char *keysym;    // the X key name the menu shows beside the item ("KP_Add")
    acts when;
    const char *menu;      // "Group/Label"; nullptr: not in the menu
    const char *help;      // one line, as --help prints it
    void (*run)(int);      // what it does, given arg
    int arg;
    bool (*state)();       // for an on/off item: whether it is on now; nullptr otherwise
};

extern const action actions[];
extern const std::size_t action_count;

// The menu's groups in the order they appear.
extern const char *const menu_groups[];
extern const std::size_t menu_group_count;

// The "Hot keys:" part of --help: one line per action that has a key.
std::string hot_key_help();

// ---- What the actions do ----
// Defined by the program (src/main); the table only names them.
void action_quit(int);
void action_open(int);
void action_save(int);
void action_screenshot(int);
void action_pause(int);
void action_reset(int);
void action_power_saving(int);
void action_tape_play(int);
void action_tape_rewind(int);
void action_tape_record(int);
void action_tape_write(int);
void action_tape_browse(int);
void action_fast_loading(int);
void action_fullscreen(int);
void action_scale(int scale);       // 1..5
void action_scale_step(int step);   // +1 or -1
void action_changed_squares(int);
void action_fine_dither(int);
void action_frame_rate(int);
void action_sound(int);
void action_menu(int);
void action_pokes(int);
void action_paste(int);
void action_rewind(int);
void action_quick_save(int);
void action_quick_load(int);
void action_slot(int slot);  // 1..9
// The on/off states the menu shows.
bool is_paused();
bool is_power_saving();
bool is_fast_loading();
bool is_recording();
bool is_fullscreen();
bool is_changed_squares();
bool is_fine_dither();
bool is_frame_rate_shown();
bool is_sound_on();
