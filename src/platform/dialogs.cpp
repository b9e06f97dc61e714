// Native dialogs (placeholder until the snapshot chooser lands).
#include "platform/dialogs.h"

#include <cstdio>

bool choose_snapshot(std::string &, std::size_t &) { return false; }

void message_box(const std::string &text, const std::string &caption) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}
