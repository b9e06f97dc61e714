// Native dialogs: the snapshot chooser and a message box (GTK 3).
#pragma once

#include <string>

// Shows a modal open-file dialog for snapshots. Returns true with the chosen
// path and the index in it where the extension begins (path.size() when it
// has none), or false when the user cancelled.
bool choose_snapshot(std::string &path, std::size_t &extension);

// Shows a modal message box with one OK button.
void message_box(const std::string &text, const std::string &caption);
