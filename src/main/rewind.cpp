// Rewind and the quick-save slots: the user's side of the state history.
#include "main/rewind.h"

#include "actions/actions.h"

#include <allegro.h>

#include <chrono>

#include "main/shell.h"
#include "platform/dialogs.h"
#include "screen/screen.h"
#include "state/state.h"
#include "ula/ula.h"

namespace {

using clock_type = std::chrono::steady_clock;

constexpr int frames_per_second = 50;
// Held, Delete goes back a second this often.
constexpr auto step_interval = std::chrono::milliseconds(200);
// Slot messages stay in the title this long.
constexpr auto message_time = std::chrono::seconds(1);

int64_t frames_run = 0;

bool rewinding = false;
bool held = false;  // rewind_back was called in this pass
int64_t rewind_from = 0;  // frames_run when the rewind began
clock_type::time_point last_step;

int slot = 1;
std::string message;
clock_type::time_point message_until;

void say(const std::string &text) {
    message = text;
    message_until = clock_type::now() + message_time;
}

void show_picture() {
    fill_dsquares();
    drawbuffer();
    drawscr();
}

// The beeper stream would repeat its last buffer while a box waits.
void box(const std::string &text, const std::string &caption) {
    if (soundon) stop_sound_stream();
    message_box(text, caption);
    if (soundon) start_sound_stream();
    tick.pending = 0;  // the time in the box is not caught up
}

}  // namespace

void rewind_frame() {
    if (++frames_run % frames_per_second == 0 && history_length() > 0) keep_state(frames_run);
}

void rewind_back() {
    held = true;
    if (history_length() == 0) return;
    const auto now = clock_type::now();
    if (!rewinding) {
        // Now becomes the newest state, and the first step goes back from
        // it at least half a second, to the state kept before.
        rewinding = true;
        rewind_from = frames_run;
        stop_sound_stream();
        keep_state(frames_run);
        history_back();
        while (frames_run - history_frame() < frames_per_second / 2 && history_back()) {
        }
    } else if (now - last_step >= step_interval) {
        history_back();
    } else {
        return;
    }
    last_step = now;
    show_picture();
}

bool rewind_pass() {
    if (!rewinding) {
        held = false;
        return false;
    }
    if (held) {
        held = false;
        tick.pending = 0;
        rest(5);
        return true;
    }
    rewinding = false;
    // The next state is kept a second after the moment shown.
    if (history_frame() >= 0) frames_run = history_frame();
    history_resume();
    if (soundon) start_sound_stream();
    tick.pending = 0;  // the machine runs on from the moment shown; nothing is caught up
    return false;
}

void quick_save() {
    std::string reason;
    if (save_slot(slot, reason)) {
        say(" - saved to slot " + std::to_string(slot));
        return;
    }
    box("The machine could not be saved into slot " + std::to_string(slot) + ".\n\n" + reason +
            "\n\nThe machine runs on.",
        "Cannot Save Slot");
}

void quick_load() {
    snapshot_result why{};
    switch (load_slot(slot, why)) {
    case slot_outcome::loaded:
        say(" - slot " + std::to_string(slot) + " loaded");
        fill_dsquares();
        tick.pending = 0;
        break;
    case slot_outcome::empty: say(" - slot " + std::to_string(slot) + " is empty"); break;
    case slot_outcome::refused: box(why.text, why.caption); break;
    }
}

void choose_slot(int n) {
    if (n < 1 || n > slot_count) return;
    slot = n;
    say(" - slot " + std::to_string(slot));
}

std::string rewind_title() {
    if (rewinding) {
        const int64_t back = rewind_from - history_frame();
        return " - rewind -" + std::to_string((back + frames_per_second / 2) / frames_per_second) + " s";
    }
    if (!message.empty() && clock_type::now() >= message_until) message.clear();
    return message;
}

// ---- As rows of the table of actions ----

void action_rewind(int) { rewind_back(); }
void action_quick_save(int) { quick_save(); }
void action_quick_load(int) { quick_load(); }
void action_slot(int slot) { choose_slot(slot); }
