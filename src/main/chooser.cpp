// The snapshot chooser: the hot key's file dialog and the command line's file.
#include "main/chooser.h"

#include <string>

#include "main/deck.h"
#include "main/pokes.h"
#include "platform/dialogs.h"
#include "tape/tape.h"
#include "ula/ula.h"
#include "z80/z80.h"

namespace {

bool is_pok_name(const std::string &path) {
    const std::size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') return false;
    std::string ext = path.substr(dot + 1);
    for (char &c : ext) c = char(c | 0x20);
    return ext == "pok";
}

// A tape counts as loaded once the deck holds it.
void load_tape(const std::string &path) {
    open_tape_path(path);
    if (deck.name == path) program_loaded(path);
}

// Loads the file with the loader its extension picks and reports a rejected
// file in a message box. The machine changes only when the file is accepted.
void load(const std::string &path, std::size_t extension) {
    if (is_tape_name(path)) return load_tape(path);
    snapshot_result result = opensnapshot(path, extension);
    if (result.ok)
        program_loaded(path);
    else
        message_box(result.text, result.caption);
}

}  // namespace

void openfilesna() {
    // The stream would repeat its last buffer while the dialog waits.
    if (soundon) stop_sound_stream();
    std::string path;
    std::size_t extension = 0;
    const bool chosen = choose_snapshot(path, extension);
    if (chosen && !is_pok_name(path)) load(path, extension);
    if (soundon) start_sound_stream();
    if (chosen && is_pok_name(path)) open_pok_path(path);
}

void load_snapshot_path(const char *path) {
    std::string name = path ? path : "";
    if (is_tape_name(name)) return load_tape(name);
    snapshot_result result = opensnapshot(name, snapshot_extension(name));
    if (result.ok) return program_loaded(name);
    if (soundon) stop_sound_stream();
    message_box(result.text, result.caption);
    if (soundon) start_sound_stream();
}
