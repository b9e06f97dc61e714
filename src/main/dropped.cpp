// Files dropped on the window: handed to the chooser's loader.
#include "main/dropped.h"

#include <string>

#include "main/chooser.h"
#include "main/shell.h"
#include "platform/dialogs.h"
#include "platform/drop.h"
#include "ula/ula.h"

bool load_dropped_file() {
    std::string path, refusal;
    if (!next_dropped_file(path, refusal)) return false;
    if (refusal.empty()) {
        load_snapshot_path(path.c_str());
    } else {
        if (soundon) stop_sound_stream();
        message_box(refusal, "Not a File");
        if (soundon) start_sound_stream();
    }
    fill_dsquares();
    tick.pending = 0;  // the time in a message box is not caught up
    return true;
}
