// The machine shell: frame pacing, the window title and the hot keys.
#include "main/shell.h"

#include <allegro.h>

#include <cstdio>
#include <string>

#include "joystick/joystick.h"
#include "keys/keys.h"
#include "main/chooser.h"
#include "main/rewind.h"
#include "main/saver.h"
#include "picture/picture.h"
#include "main/deck.h"
#include "screen/screen.h"
#include "tape/tape.h"
#include "ula/ula.h"
#include "z80/z80.h"

tick_record tick;
emulator_record emulator;
int exit_status = 0;

namespace {

// Set by the timer when it closes a second; the main thread then rewrites
// the title, so no window-system call is made from the timer's context.
std::atomic<int32_t> title_due{0};

// The window title as last set, and the rewind's part of it.
char title[96] = "";
std::string title_extra;

// Window (0) or full screen (1) as last asked for with F4.
int fullscreen_request = 0;

bool yield_a_little() {
    rest(1);
    return true;
}

void change_mode(int scale) {
    if (updatemode(scale, fullscreen_request)) return;
    // The mode could not be set and the old one was put back (or nothing
    // could be): keep the request in step with what is on the screen.
    fullscreen_request = display.fullscreen;
    if (!screen) {
        std::fprintf(stderr, "brenvik: the display was lost; stopping.\n");
        emulator.quit = 1;
        exit_status = 1;
    }
}

}  // namespace

bool (*hotkey_wait)() = yield_a_little;

void set_start_mode(int scale, int fullscreen) {
    if (scale == display.scale && fullscreen == display.fullscreen) return;
    fullscreen_request = fullscreen;
    change_mode(scale);
}

bool released(int k) {
    if (!key[k]) return false;
    while (key[k])
        if (!hotkey_wait()) return false;  // asked to end while the key was still held
    return true;
}

void setup_tick() {
    tick.pending = 0;
    tick.ticks = 0;
    tick.frames = 0;
    tick.fps = 0;
    title_due = 0;
}

void ticky() {
    note_frame_tick();
    tick.pending.fetch_add(1);
    if (tick.ticks.fetch_add(1) + 1 == 50) {
        tick.ticks = 0;
        // One step, so a redraw counted in between is not lost.
        tick.fps = tick.frames.exchange(0);
        title_due = 1;
    }
    power_tick();
}

void closed_window() { emulator.quit = 1; }

void update_title() {
    // Rewritten once a second, and at once when the rewind's text changes.
    const bool due = title_due.exchange(0) != 0;
    std::string extra = rewind_title();
    if (!due && extra == title_extra) return;
    title_extra = std::move(extra);
    if (display.show_fps)
        std::snprintf(title, sizeof title, "Brenvik : %i fps%s%s", int(tick.fps.load()), tape_title().c_str(),
                      title_extra.c_str());
    else
        std::snprintf(title, sizeof title, "Brenvik%s%s", tape_title().c_str(), title_extra.c_str());
    set_window_title(title);
}

void poll_hotkeys() {
    // Quitting lets the rest of the pass run.
    if (key[KEY_ESC]) emulator.quit = 1;

    if (released(KEY_F1)) {
        openfilesna();
        fill_dsquares();
        tick.pending = 0;  // the time in the dialog is not caught up
    }
    if (released(KEY_F2)) {
        savefilesnapshot();
        tick.pending = 0;  // nor the time in the save dialog
    }
    if (released(KEY_F3)) display.use_dsquares ^= 1;
    if (released(KEY_F4)) {
        fullscreen_request ^= 1;
        change_mode(display.scale);
        tick.pending = 2;
    }
    for (int s = 1; s <= 5; ++s) {
        if (released(KEY_F5 + s - 1) && display.scale != s) {
            display.scale = s;
            change_mode(display.scale);
            tick.pending = 2;
        }
    }
    // Held down, the machine is reset on every pass; it starts once let go.
    if (key[KEY_F12]) resetz80();
    if (released(KEY_F10)) {
        soundon ^= 1;
        if (soundon)
            start_sound_stream();
        else
            stop_sound_stream();
    }
    if (released(KEY_F11)) {
        display.fine_dither ^= 1;
        fill_dsquares();
    }
    if (released(KEY_PLUS_PAD)) {
        if (display.scale <= 4) ++display.scale;
        change_mode(display.scale);
    }
    if (released(KEY_MINUS_PAD)) {
        if (display.scale >= 2) --display.scale;
        change_mode(display.scale);
    }
    if (released(KEY_SLASH_PAD)) display.show_fps ^= 1;
    if (released(KEY_ASTERISK)) take_screenshot();
    if (released(KEY_SCRLOCK)) toggle_power_saving();
    if (key[KEY_DEL]) rewind_back();
    if (released(KEY_ENTER_PAD)) quick_save();
    if (released(KEY_0_PAD)) quick_load();
    for (int s = 1; s <= 9; ++s)
        if (released(KEY_1_PAD + s - 1)) choose_slot(s);
    poll_deck_hotkeys();
}

void run_pass() {
    power_idle(tick.pending);
    update_title();
    poll_hotkeys();
    if (rewind_pass()) return;
    if (fast_pass()) return;
    // Every owed frame runs back to back before the next redraw. Each one
    // sees the keys as they stood at its own moment; the joystick is read
    // once for each.
    while (tick.pending > 0) {
        keys_frame(tick.pending);
        poll_kempston();
        execz80();
        tape_frame();
        if (soundon) mixsound();
        intreq = 1;  // the frame interrupt, taken early in the next frame
        rewind_frame();
        tick.pending.fetch_sub(1);
    }
    drawbuffer();
    drawscr();
    tick.frames.fetch_add(1);
}
