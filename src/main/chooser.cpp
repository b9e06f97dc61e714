// The snapshot chooser: the hot key's file dialog, the command line's file,
// and the menu's recent files.
#include "main/chooser.h"

#include <string>
#include <vector>

#include "archive/archive.h"
#include "log/log.h"
#include "main/deck.h"
#include "main/pokes.h"
#include "platform/dialogs.h"
#include "settings/settings.h"
#include "state/state.h"
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

// Opens the archive at path and loads the snapshot or tape in it, the one
// the user chooses when it holds several. A refusal is said in a message
// box; unattended (--screenshot), where nobody answers, on standard error,
// and the archive's first program is the one loaded.
bool load_archive(const std::string &path, bool unattended) {
    auto tell = [&](const std::string &caption, const std::string &text) {
        if (unattended)
            report_on_stderr(caption, text);
        else
            message_box(text, caption);
    };
    std::vector<archive_member> members;
    const archive_result got = open_archive(path, members);
    if (!got.ok) {
        tell(got.caption, got.text);
        return false;
    }
    std::size_t chosen = 0;
    if (members.size() > 1 && !unattended) {
        std::vector<std::string> names;
        for (const archive_member &m : members) names.push_back(m.name);
        if (!choose_from_list("Open from Archive", path + "\n\nholds several programs. Which one is to be loaded?",
                              names, chosen))
            return false;
    }
    const archive_member &m = members[chosen];
    const std::string title = member_title(path, m);
    if (m.kind == program_kind::tape) {
        const tape_result inserted = insert_named_tape(m.bytes.data(), m.bytes.size(), title, m.name);
        return unattended ? load_inserted_tape_unattended(inserted) : open_inserted_tape(inserted, path);
    }
    const snapshot_result result = m.kind == program_kind::z80 ? openz80_bytes(m.bytes.data(), m.bytes.size(), title)
                                                               : opensna_bytes(m.bytes.data(), m.bytes.size(), title);
    if (!result.ok) tell(result.caption, result.text);
    return result.ok;
}

// Loads the file with the loader its extension picks and reports a rejected
// file in a message box. The machine changes only when the file is accepted;
// the program loaded then goes first in the recent files, and a .pok beside
// it is offered.
bool load(const std::string &path, std::size_t extension) {
    bool ok = false;
    if (is_archive_name(path)) {
        ok = load_archive(path, false);
    } else if (is_tape_file(path)) {
        ok = open_tape_path(path) && deck.name == path;
    } else {
        snapshot_result result = opensnapshot(path, extension);
        ok = result.ok;
        if (!ok) message_box(result.text, result.caption);
    }
    if (!ok) return false;
    remember_recent_file(path);
    note_loaded_file(path);
    program_loaded(path);
    return true;
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

bool load_file_path(const std::string &path) {
    if (is_pok_name(path)) {
        open_pok_path(path);
        return true;
    }
    if (soundon) stop_sound_stream();
    const bool ok = load(path, snapshot_extension(path));
    if (soundon) start_sound_stream();
    fill_dsquares();
    return ok;
}

void load_snapshot_path(const char *path) { load_file_path(path ? path : ""); }

bool load_path_unattended(const std::string &path) {
    if (is_archive_name(path)) return load_archive(path, true);
    if (is_tape_file(path)) return load_tape_unattended(path);
    const snapshot_result result = opensnapshot(path, snapshot_extension(path));
    if (!result.ok) report_on_stderr(result.caption, result.text);
    return result.ok;
}
