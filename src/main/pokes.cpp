// POKEs in the running program.
#include "actions/actions.h"
#include "main/pokes.h"

#include <allegro.h>

#include <cstdio>
#include <vector>

#include "main/shell.h"
#include "options/options.h"
#include "platform/dialogs.h"
#include "pok/pok.h"
#include "screen/screen.h"
#include "tape/tape.h"
#include "ula/ula.h"

namespace {

// The .pok beside the program last loaded, not yet offered.
std::string offered;

// The beeper stream would repeat its last buffer while a dialog waits, and
// the time spent there is not caught up afterwards.
template <typename F>
void in_dialog(F dialog) {
    if (soundon) stop_sound_stream();
    dialog();
    if (soundon) start_sound_stream();
    fill_dsquares();
    tick.pending = 0;
}

// Ticks or unticks trainer i; returns whether it is applied afterwards.
bool toggle(std::size_t i, bool on) {
    trainer &t = trainers[i];
    if (!on) {
        remove_trainer(t);
        return false;
    }
    int value = 0;
    if (trainer_asks(t) && !ask_number("The trainer \"" + t.name + "\" needs a value (0 to 255).", "POKE Value", 0,
                                       255, value))
        return false;
    return apply_trainer(t, uint8_t(value));
}

void show_trainers() {
    std::vector<check_row> rows;
    for (const trainer &t : trainers)
        rows.push_back({trainer_fits_48k(t) ? t.name : t.name + " (not for the 48K)", t.applied, trainer_fits_48k(t)});
    choose_checks("POKEs", pok_path, rows, toggle);
}

}  // namespace

void open_pokes() {
    in_dialog([] {
        if (trainers.empty())
            message_box("No POKEs are open. Open a .pok file with F1.", "No POKEs");
        else
            show_trainers();
    });
}

void open_pok_path(const std::string &path) {
    in_dialog([&] {
        if (!pok_is_open(path)) {
            const pok_result result = open_pok(path);
            if (!result.ok) return message_box(result.text, "Cannot Use POKEs");
        }
        show_trainers();
    });
}

void program_loaded(const std::string &path) {
    forget_applied_trainers();
    offered = pok_beside(path);
}

void offer_pokes_when_due() {
    if (offered.empty() || typing_running() || deck.playing) return;
    const std::string path = offered;
    offered.clear();
    bool yes = false;
    in_dialog([&] { yes = ask_yes_no(path + "\n\nThere are POKEs for this program. Show them?", "POKEs Found"); });
    if (!yes) return;
    // Read afresh: the file may have changed since it was last open.
    const pok_result result = open_pok(path);
    if (!result.ok) return in_dialog([&] { message_box(result.text, "Cannot Use POKEs"); });
    open_pokes();
}

bool start_pokes() {
    if (!options.pok.empty()) {
        offered.clear();  // the trainers asked for are the ones open
        const pok_result result = open_pok(options.pok);
        if (!result.ok) {
            std::fprintf(stderr, "brenvik: --pok: %s\n", result.text.c_str());
            return false;
        }
        for (std::size_t i = 0; i < trainers.size(); ++i) {
            if (!trainer_fits_48k(trainers[i]))
                std::fprintf(stderr, "brenvik: --pok: \"%s\" is not for the 48K; left out.\n",
                             trainers[i].name.c_str());
            else
                in_dialog([&] { toggle(i, true); });
        }
    }
    for (const start_poke &p : options.pokes) poke_memory(p.address, p.value);
    return true;
}

void action_pokes(int) { open_pokes(); }
