// The tape deck's user side: hot keys, dialogs and the fast-loading pass.
#include "main/deck.h"

#include <allegro.h>

#include <chrono>
#include <vector>

#include "actions/actions.h"
#include "files/files.h"
#include "main/rewind.h"
#include "joystick/joystick.h"
#include "keys/keys.h"
#include "log/log.h"
#include "main/shell.h"
#include "platform/dialogs.h"
#include "screen/screen.h"
#include "state/state.h"
#include "tape/tape.h"
#include "ula/ula.h"
#include "z80/z80.h"

namespace {

// End switches fast loading off for the real-time sound and stripes.
bool fast_loading = true;
// True while the last pass ran fast, so the sound comes back when it ends.
bool was_fast = false;

// The beeper stream would repeat its last buffer while a dialog waits.
template <typename F>
void without_sound(F dialog) {
    if (soundon) stop_sound_stream();
    dialog();
    if (soundon && !was_fast) start_sound_stream();
    tick.pending = 0;  // the time in the dialog is not caught up
}

bool fast_due() {
    return fast_loading && (typing_running() || ((deck.playing || tape_recording) && tape_port_busy()));
}

// Writes the recording through the save dialog; false when it was not written.
bool save_recording() {
    if (recorded_blocks.empty()) {
        message_box("Nothing has been recorded yet. Press Page Up to record, then SAVE.", "No Recording");
        return false;
    }
    std::string path;
    if (!choose_file_to_save("Save Recording", "Tape (*.tap)", {"*.[tT][aA][pP]"}, "recording.tap", path))
        return false;
    const std::vector<uint8_t> tap = recording_as_tap();
    std::string reason;
    if (!write_file_atomically(path, tap.data(), tap.size(), reason)) {
        message_box(path + "\n\nThe recording was not written: " + reason + "\nIt is kept; try another folder.",
                    "Cannot Save Tape");
        return false;
    }
    recording_unsaved = false;
    return true;
}

}  // namespace

bool open_tape_path(const std::string &path) { return open_inserted_tape(insert_tape(path), path); }

bool open_inserted_tape(const tape_result &result, const std::string &path) {
    if (!result.ok) {
        without_sound([&] { message_box(result.text, result.caption); });
        return false;
    }
    note_loaded_file(path);
    if (deck.tape.for_128k) without_sound([] { message_box(tape_128k_text, tape_128k_caption); });
    start_autoload();
    fill_dsquares();
    return true;
}

// ---- The tape's actions ----

void action_tape_play(int) {
    if (deck.playing)
        tape_stop_by_user();
    else
        tape_play();
}

void action_tape_rewind(int) { tape_rewind(); }

void action_tape_record(int) {
    // A recording already written out is replaced; one not yet written is added to.
    if (!tape_recording && !recording_unsaved) recorded_blocks.clear();
    set_recording(!tape_recording);
}

void action_tape_write(int) {
    finish_recorded_block();
    without_sound([] { save_recording(); });
}

void action_fast_loading(int) { fast_loading = !fast_loading; }

// The tape browser: the blocks in playing order, the one under the head
// marked and chosen to begin with; the one chosen is where the head goes,
// and a deck that played plays on from there.
void action_tape_browse(int) {
    without_sound([] {
        const std::vector<tape_mark> &marks = deck.tape.marks;
        if (marks.empty()) {
            message_box("There is no tape in the deck.", "Tape Browser");
            return;
        }
        const bool was_playing = deck.playing;
        tape_stop();
        std::size_t chosen = tape_mark_now();
        std::vector<std::string> rows;
        for (std::size_t k = 0; k < marks.size(); ++k)
            rows.push_back((k == chosen ? "\u25B6 " : "    ") + std::to_string(marks[k].number) + "  " + marks[k].text);
        if (chosen >= marks.size()) chosen = 0;
        if (choose_from_list("Tape Browser", deck.name, rows, chosen)) tape_seek(chosen);
        if (was_playing) tape_play();
    });
}

bool is_fast_loading() { return fast_loading; }
bool is_recording() { return tape_recording; }

bool fast_pass() {
    if (!fast_due()) {
        if (was_fast) {
            was_fast = false;
            if (soundon) start_sound_stream();
            tick.pending = 0;  // normal pacing starts from now
        }
        return false;
    }
    // Muted, also when F10 turned the sound on meanwhile.
    was_fast = true;
    stop_sound_stream();
    // Every frame reads the keys and the joystick as a paced one does, and
    // the hot keys are looked at after it, so a tap inside the pass acts.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    do {
        keys_frame(1);
        poll_kempston();
        execz80();
        intreq = 1;
        tape_frame();
        rewind_frame();
        poll_hotkeys();
    } while (!emulator.quit && fast_due() && std::chrono::steady_clock::now() < until);
    drawbuffer();
    drawscr();
    tick.frames.fetch_add(1);
    tick.pending = 0;
    return true;
}

void set_fast_loading(bool on) { fast_loading = on; }

bool load_tape_unattended(const std::string &path) { return load_inserted_tape_unattended(insert_tape(path)); }

bool load_inserted_tape_unattended(const tape_result &result) {
    if (!result.ok) {
        report_on_stderr(result.caption, result.text);
        return false;
    }
    if (deck.tape.for_128k) report_on_stderr(tape_128k_caption, deck.name + "\n\n" + tape_128k_text);
    start_autoload();
    const uint64_t limit = deck.tape.length / (lines_per_frame * tstates_per_line) + 3000;
    bool played = false;
    for (uint64_t n = 0; n < limit; ++n) {
        execz80();
        intreq = 1;
        tape_frame();
        // Nobody can choose here: a select block plays its first part.
        if (tape_select_due()) tape_choose(0);
        played = played || deck.playing;
        if (played && !typing_running() && !tape_port_busy()) break;
    }
    return true;
}

void offer_tape_choice_when_due() {
    const tape_select *due = tape_select_due();
    if (!due) return;
    const std::vector<std::string> texts = due->texts;
    std::size_t chosen = texts.size();
    without_sound([&] {
        if (!choose_from_list("Select Part of Tape", "The tape asks which part to load:", texts, chosen))
            chosen = texts.size();
    });
    tape_choose(chosen);
}

std::string tape_title() {
    if (!deck.playing) return "";
    return " - tape " + std::to_string(tape_percent()) + "%";
}

bool may_quit() {
    if (!recording_unsaved) return true;
    save_answer answer = save_answer::cancel;
    without_sound([&] {
        answer = ask_save_discard("The tape recording has not been written to a file. Save it before quitting?",
                                  "Unsaved Recording");
    });
    // Escape may still read as held once the question is gone.
    key[KEY_ESC] = 0;
    if (answer == save_answer::discard) return true;
    if (answer == save_answer::save) {
        bool saved = false;
        without_sound([&] { saved = save_recording(); });
        return saved;
    }
    return false;
}
