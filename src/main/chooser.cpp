// The snapshot chooser: the hot key's file dialog, the command line's file,
// and the menu's recent files.
#include "main/chooser.h"

#include <string>

#include "main/deck.h"
#include "platform/dialogs.h"
#include "settings/settings.h"
#include "tape/tape.h"
#include "ula/ula.h"
#include "z80/z80.h"

namespace {

// Loads the file with the loader its extension picks and reports a rejected
// file in a message box. The machine changes only when the file is accepted.
bool load(const std::string &path, std::size_t extension) {
    bool ok = false;
    if (is_tape_name(path)) {
        ok = open_tape_path(path);
    } else {
        snapshot_result result = opensnapshot(path, extension);
        ok = result.ok;
        if (!ok) message_box(result.text, result.caption);
    }
    if (ok) remember_recent_file(path);
    return ok;
}

}  // namespace

void openfilesna() {
    // The stream would repeat its last buffer while the dialog waits.
    if (soundon) stop_sound_stream();
    std::string path;
    std::size_t extension = 0;
    if (choose_snapshot(path, extension)) load(path, extension);
    if (soundon) start_sound_stream();
}

bool load_file_path(const std::string &path) {
    if (soundon) stop_sound_stream();
    const bool ok = load(path, snapshot_extension(path));
    if (soundon) start_sound_stream();
    fill_dsquares();
    return ok;
}

void load_snapshot_path(const char *path) { load_file_path(path ? path : ""); }
