// Saving snapshots from the running program.
#include "main/saver.h"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>

#include "options/options.h"
#include "platform/dialogs.h"
#include "ula/ula.h"
#include "z80/z80.h"

namespace {

bool exists(const std::string &path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// Writes the snapshot; a failure goes into a message box (and on standard
// error, where message_box also puts it).
bool save_reporting(const std::string &path) {
    snapshot_result result = savesnapshot(path);
    if (!result.ok) message_box(result.text, result.caption);
    return result.ok;
}

}  // namespace

std::string suggested_snapshot_name() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    char name[64] = "brenvik.z80";
    if (localtime_r(&now, &local)) std::strftime(name, sizeof name, "brenvik-%Y%m%d-%H%M%S.z80", &local);
    return name;
}

std::string with_snapshot_extension(const std::string &path) {
    return save_format(path) == snapshot_format::none ? path + ".z80" : path;
}

void savefilesnapshot() {
    // The stream would repeat its last buffer while the dialog waits.
    if (soundon) stop_sound_stream();
    std::string suggested = suggested_snapshot_name(), path;
    // GTK has asked before replacing the name that was chosen. When .z80 is
    // added and that name exists, the dialog comes back with it filled in,
    // so that GTK asks about the file that would really be replaced.
    while (choose_file_to_save("Save Snapshot", "Snapshot (*.sna/*.z80)", {"*.[sS][nN][aA]", "*.[zZ]80"},
                               suggested, path)) {
        const std::string target = with_snapshot_extension(path);
        if (target != path && exists(target)) {
            suggested = target;
            continue;
        }
        save_reporting(target);
        break;
    }
    if (soundon) start_sound_stream();
}

bool check_save_on_exit() {
    if (options.save_on_exit.empty() || save_format(options.save_on_exit) != snapshot_format::none) return true;
    std::fprintf(stderr, "brenvik: --save-on-exit %s: the file name must end in .z80 or .sna.\n",
                 options.save_on_exit.c_str());
    return false;
}

bool save_on_exit() {
    if (options.save_on_exit.empty()) return true;
    if (soundon) stop_sound_stream();
    return save_reporting(options.save_on_exit);
}
