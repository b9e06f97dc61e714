// Native dialogs: the snapshot chooser, a save-file chooser, a message box and a save question (GTK 3).
#pragma once

#include <string>
#include <vector>

// Shows a modal open-file dialog for snapshots. Returns true with the chosen
// path and the index in it where the extension begins (path.size() when it
// has none), or false when the user cancelled.
bool choose_snapshot(std::string &path, std::size_t &extension);

// Shows a modal message box with one OK button.
void message_box(const std::string &text, const std::string &caption);

// Shows a modal save-file dialog titled title, with one filter (patterns are
// case-sensitive: write "*.[tT][aA][pP]"), the suggested file name filled in
// and GTK's confirmation before an existing file is replaced. Returns true
// with the chosen path, or false when the user cancelled.
bool choose_file_to_save(const std::string &title, const std::string &filter_name,
                         const std::vector<std::string> &patterns, const std::string &suggested_name,
                         std::string &path);

// Shows a modal question with three buttons: Save, Discard and Cancel.
enum class save_answer { save, discard, cancel };
save_answer ask_save_discard(const std::string &text, const std::string &caption);
