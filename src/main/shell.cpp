// The machine shell: frame pacing, the window title and the hot keys.
#include "main/shell.h"

#include <allegro.h>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <string>

#include "actions/actions.h"
#include "main/menu.h"
#include "joystick/joystick.h"
#include "keys/keys.h"
#include "main/chooser.h"
#include "main/dropped.h"
#include "main/pokes.h"
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

void show_title() {
    title_extra = rewind_title();
    if (paused)
        std::snprintf(title, sizeof title, "Brenvik - paused");
    else if (display.show_fps)
        std::snprintf(title, sizeof title, "Brenvik : %i fps%s%s", int(tick.fps.load()), tape_title().c_str(),
                      title_extra.c_str());
    else
        std::snprintf(title, sizeof title, "Brenvik%s%s", tape_title().c_str(), title_extra.c_str());
    set_window_title(title);
}

void update_title() {
    // Once a second, and at once when the rewind's or the slots' text changes.
    const bool due = title_due.exchange(0) != 0;
    if (due || rewind_title() != title_extra) show_title();
}

// ---- The actions ----

void action_quit(int) { emulator.quit = 1; }  // the rest of the pass still runs

void action_open(int) {
    openfilesna();
    fill_dsquares();
    tick.pending = 0;  // the time in the dialog is not caught up
}

void action_save(int) {
    savefilesnapshot();
    tick.pending = 0;  // nor the time in the save dialog
}

void action_screenshot(int) { take_screenshot(); }

void action_pause(int) {
    paused ^= 1;
    if (soundon) {
        if (paused)
            stop_sound_stream();
        else
            start_sound_stream();
    }
    // The machine goes on from where it stood: no frames are caught up.
    tick.pending = 0;
    show_title();
}

// Held down, the machine is reset on every pass; it starts once let go.
void action_reset(int) { resetz80(); }

void action_power_saving(int) { toggle_power_saving(); }

void action_fullscreen(int) {
    fullscreen_request ^= 1;
    change_mode(display.scale);
    tick.pending = 2;
}

void action_scale(int scale) {
    if (display.scale == scale) return;
    display.scale = scale;
    change_mode(display.scale);
    tick.pending = 2;
}

void action_scale_step(int step) {
    display.scale = std::clamp(display.scale + step, 1, 5);
    change_mode(display.scale);
}

void action_changed_squares(int) { display.use_dsquares ^= 1; }

void action_fine_dither(int) {
    display.fine_dither ^= 1;
    fill_dsquares();
}

void action_frame_rate(int) { display.show_fps ^= 1; }

void action_sound(int) {
    soundon ^= 1;
    if (paused) return;  // the stream starts when the machine runs again
    if (soundon)
        start_sound_stream();
    else
        stop_sound_stream();
}

void action_menu(int) {
    if (soundon && !paused) stop_sound_stream();
    const action *chosen = choose_from_menu();
    if (soundon && !paused) start_sound_stream();
    tick.pending = 0;  // the time the menu was open is not caught up
    if (chosen) chosen->run(chosen->arg);
}

bool is_paused() { return paused; }
bool is_power_saving() { return power_saving; }
bool is_fullscreen() { return fullscreen_request; }
bool is_changed_squares() { return display.use_dsquares; }
bool is_fine_dither() { return display.fine_dither; }
bool is_frame_rate_shown() { return display.show_fps; }
bool is_sound_on() { return soundon; }

namespace {

// Whether the action's key calls for it in this pass.
bool key_acts(const action &a) {
    static bool last_state[KEY_MAX];
    switch (a.when) {
    case acts::while_held:
        return key[a.key] != 0;
    case acts::on_change:
        return std::exchange(last_state[a.key], key[a.key] != 0) != (key[a.key] != 0);
    case acts::on_release:
        break;
    }
    return released(a.key);
}

}  // namespace

bool poll_hotkeys() {
    bool acted = false;
    for (std::size_t i = 0; i < action_count; ++i) {
        const action &a = actions[i];
        if (!a.key || !key_acts(a)) continue;
        a.run(a.arg);
        acted = true;
    }
    // The right mouse button opens the menu as the Menu key does.
    if (right_button_clicked()) {
        action_menu(0);
        acted = true;
    }
    // A file dropped on the window loads as one chosen with F1.
    if (load_dropped_file()) acted = true;
    return acted;
}

void paused_pass() {
    update_title();
    // The picture stands still (FLASH too) unless an action changed it: a
    // file loaded, a mode set, the dither switched.
    if (poll_hotkeys() && paused) {
        drawbuffer();
        drawscr();
    }
    // No frame is owed while paused, and the time is not caught up after.
    if (paused) idle_until_tick();
    tick.pending = 0;
}

void run_pass() {
    if (paused) return paused_pass();
    power_idle(tick.pending);
    update_title();
    poll_hotkeys();
    offer_pokes_when_due();
    offer_tape_choice_when_due();
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
