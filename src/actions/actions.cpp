// The table of actions.
#include "actions/actions.h"

#include <allegro.h>

#include <algorithm>

namespace {
constexpr acts R = acts::on_release;
constexpr acts H = acts::while_held;
constexpr acts C = acts::on_change;
}  // namespace

// Grouped as the menu shows them; the hot-key loop takes them in this order too.
const action actions[] = {
    {KEY_F1, "F1", "F1", R, "File/Open...", "load a snapshot or tape", action_open, 0, nullptr},
    {KEY_F2, "F2", "F2", R, "File/Save Snapshot...", "save a snapshot (.z80 or .sna)", action_save, 0, nullptr},
    // The files loaded last, as a submenu: a row that does nothing itself.
    {0, nullptr, nullptr, R, "File/Recent Files", nullptr, nullptr, 0, nullptr},
    {KEY_ASTERISK, "Keypad *", "KP_Multiply", R, "File/Screenshot",
     "screenshot: brenvik-NNNN.png in the working directory", action_screenshot, 0, nullptr},
    {0, nullptr, nullptr, R, "File/POKEs...", "the trainers of the .pok file opened last", action_pokes, 0, nullptr},
    {KEY_ESC, "Escape", "Escape", H, "File/Quit", "quit (the window's close button too)", action_quit, 0, nullptr},
    {KEY_PAUSE, "Pause", "Pause", C, "Machine/Pause", "pause or resume the machine", action_pause, 0, is_paused},
    {KEY_F12, "F12", "F12", H, "Machine/Reset", "reset (while held)", action_reset, 0, nullptr},
    {KEY_DEL, "Delete", "Delete", H, "Machine/Rewind", "rewind: back one second, more while held", action_rewind, 0,
     nullptr},
    {KEY_ENTER_PAD, "Keypad Enter", "KP_Enter", R, "Machine/Quick Save", "quick save into the current slot",
     action_quick_save, 0, nullptr},
    {KEY_0_PAD, "Keypad 0", "KP_0", R, "Machine/Quick Load", "quick load from the current slot", action_quick_load, 0,
     nullptr},
    {KEY_1_PAD, "Keypad 1", "KP_1", R, "Machine/Slot 1", "quick-save slot 1", action_slot, 1, nullptr},
    {KEY_2_PAD, "Keypad 2", "KP_2", R, "Machine/Slot 2", "quick-save slot 2", action_slot, 2, nullptr},
    {KEY_3_PAD, "Keypad 3", "KP_3", R, "Machine/Slot 3", "quick-save slot 3", action_slot, 3, nullptr},
    {KEY_4_PAD, "Keypad 4", "KP_4", R, "Machine/Slot 4", "quick-save slot 4", action_slot, 4, nullptr},
    {KEY_5_PAD, "Keypad 5", "KP_5", R, "Machine/Slot 5", "quick-save slot 5", action_slot, 5, nullptr},
    {KEY_6_PAD, "Keypad 6", "KP_6", R, "Machine/Slot 6", "quick-save slot 6", action_slot, 6, nullptr},
    {KEY_7_PAD, "Keypad 7", "KP_7", R, "Machine/Slot 7", "quick-save slot 7", action_slot, 7, nullptr},
    {KEY_8_PAD, "Keypad 8", "KP_8", R, "Machine/Slot 8", "quick-save slot 8", action_slot, 8, nullptr},
    {KEY_9_PAD, "Keypad 9", "KP_9", R, "Machine/Slot 9", "quick-save slot 9", action_slot, 9, nullptr},
    {0, nullptr, nullptr, R, "Machine/Paste", "type the desktop clipboard's text into the Spectrum", action_paste, 0,
     nullptr},
    {KEY_SCRLOCK, "Scroll Lock", "Scroll_Lock", R, "Machine/Power Saving", "power saving on or off",
     action_power_saving, 0, is_power_saving},
    {KEY_INSERT, "Insert", "Insert", R, "Tape/Play or Stop", "tape: play or stop", action_tape_play, 0, nullptr},
    {KEY_HOME, "Home", "Home", R, "Tape/Rewind", "tape: rewind", action_tape_rewind, 0, nullptr},
    {KEY_PGUP, "Page Up", "Page_Up", R, "Tape/Record", "tape: recording on or off", action_tape_record, 0,
     is_recording},
    {KEY_PGDN, "Page Down", "Page_Down", R, "Tape/Write Recording...", "tape: write the recording to a .tap file",
     action_tape_write, 0, nullptr},
    {KEY_PRTSCR, "Print Screen", "Print", R, "Tape/Browse...",
     "tape: list its blocks; the one chosen is where the head goes", action_tape_browse, 0, nullptr},
    {KEY_END, "End", "End", R, "Tape/Fast Loading", "tape: fast loading on or off", action_fast_loading, 0,
     is_fast_loading},
    {KEY_F4, "F4", "F4", R, "View/Full Screen", "window or full screen", action_fullscreen, 0, is_fullscreen},
    {KEY_F5, "F5", "F5", R, "View/Scale 1", "scale 1: 256 x 192", action_scale, 1, nullptr},
    {KEY_F6, "F6", "F6", R, "View/Scale 2", "scale 2: 512 x 384", action_scale, 2, nullptr},
    {KEY_F7, "F7", "F7", R, "View/Scale 3", "scale 3: 768 x 576", action_scale, 3, nullptr},
    {KEY_F8, "F8", "F8", R, "View/Scale 4", "scale 4: 1024 x 768", action_scale, 4, nullptr},
    {KEY_F9, "F9", "F9", R, "View/Scale 5", "scale 5: 1280 x 960", action_scale, 5, nullptr},
    {KEY_PLUS_PAD, "Keypad +", "KP_Add", R, "View/Scale Up", "scale up", action_scale_step, 1, nullptr},
    {KEY_MINUS_PAD, "Keypad -", "KP_Subtract", R, "View/Scale Down", "scale down", action_scale_step, -1, nullptr},
    {KEY_F3, "F3", "F3", R, "View/Redraw Changed Squares Only", "redraw only the changed squares, or everything",
     action_changed_squares, 0, is_changed_squares},
    {KEY_F11, "F11", "F11", R, "View/Fine Dither", "fine dither on or off", action_fine_dither, 0, is_fine_dither},
    {KEY_SLASH_PAD, "Keypad /", "KP_Divide", R, "View/Frame Rate in Title", "frame rate in the title on or off",
     action_frame_rate, 0, is_frame_rate_shown},
    {KEY_F10, "F10", "F10", R, "Sound/Sound", "sound on or off", action_sound, 0, is_sound_on},
    {KEY_MENU, "Menu", "Menu", R, nullptr, "open the menu (the right mouse button too)", action_menu, 0, nullptr},
};
const std::size_t action_count = sizeof actions / sizeof actions[0];

const char *const menu_groups[] = {"File", "Machine", "Tape", "View", "Sound"};
const std::size_t menu_group_count = sizeof menu_groups / sizeof menu_groups[0];

std::string hot_key_help() {
    std::string text = "\nHot keys:\n";
    for (std::size_t i = 0; i < action_count; ++i) {
        const action &a = actions[i];
        if (!a.key) continue;
        std::string line = std::string("  ") + a.key_name;
        line.resize(std::max<std::size_t>(line.size() + 1, 25), ' ');
        text += line + a.help + "\n";
    }
    return text;
}
