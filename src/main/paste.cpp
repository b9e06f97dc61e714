// Text typed into the Spectrum.
#include "actions/actions.h"
#include "main/paste.h"

#include <cstdio>
#include <string>

#include "main/shell.h"
#include "options/options.h"
#include "platform/dialogs.h"
#include "typing/typing.h"
#include "ula/ula.h"

namespace {

std::string left_out_text(const std::string &characters) {
    return "These characters cannot be typed on the Spectrum and were left out: " + characters;
}

}  // namespace

void paste_clipboard() {
    std::string text;
    if (soundon) stop_sound_stream();
    const bool got = clipboard_text(text) && !text.empty();
    const std::string left_out = got ? type_text(text, 0, true) : "";
    if (!left_out.empty()) message_box(left_out_text(left_out), "Paste");
    if (soundon) start_sound_stream();
    tick.pending = 0;
}

void type_given_text() {
    const std::string left_out = type_text(options.type, rom_ready_frames, true);
    if (!left_out.empty()) std::fprintf(stderr, "brenvik: --type: %s\n", left_out_text(left_out).c_str());
}

void action_paste(int) { paste_clipboard(); }
