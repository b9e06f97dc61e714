// The snapshot chooser: the hot key's file dialog and the command line's file.
#include "main/chooser.h"

#include <string>

#include "log/log.h"
#include "main/deck.h"
#include "platform/dialogs.h"
#include "tape/tape.h"
#include "ula/ula.h"
#include "z80/z80.h"

namespace {

// Loads the file with the loader its extension picks and reports a rejected
// file in a message box. The machine changes only when the file is accepted.
void load(const std::string &path, std::size_t extension) {
    if (is_tape_name(path)) return open_tape_path(path);
    snapshot_result result = opensnapshot(path, extension);
    if (!result.ok) message_box(result.text, result.caption);
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

void load_snapshot_path(const char *path) {
    std::string name = path ? path : "";
    if (is_tape_name(name)) return open_tape_path(name);
    snapshot_result result = opensnapshot(name, snapshot_extension(name));
    if (result.ok) return;
    if (soundon) stop_sound_stream();
    message_box(result.text, result.caption);
    if (soundon) start_sound_stream();
}

bool load_path_unattended(const std::string &path) {
    if (is_tape_name(path)) return load_tape_unattended(path);
    const snapshot_result result = opensnapshot(path, snapshot_extension(path));
    if (!result.ok) report_on_stderr(result.caption, result.text);
    return result.ok;
}
