// Native dialogs: the snapshot chooser, a save-file chooser, a message box, a
// save question, a yes-or-no question, a number and the trainers' list (GTK 3).
#pragma once

#include <functional>
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

// Shows a modal question with Yes (the default) and No; true for Yes.
bool ask_yes_no(const std::string &text, const std::string &caption);

// Asks for a whole number from low to high; false when the user cancelled.
bool ask_number(const std::string &text, const std::string &caption, int low, int high, int &value);

// Shows a modal list of check boxes, one a row, each ticked as given; rows
// not enabled are shown but cannot be ticked. Each tick or untick calls
// toggled(row, on) at once, which returns the state the row really has then
// (a refused tick stays unticked). Ends with the Close button.
struct check_row {
    std::string label;
    bool ticked;
    bool enabled;
};
void choose_checks(const std::string &title, const std::string &heading, const std::vector<check_row> &rows,
                   const std::function<bool(std::size_t row, bool on)> &toggled);

// Shows a modal list of rows to choose one from (a double click or Open),
// the row chosen given first (when it is one) selected; true with the index
// of the one chosen in chosen, false when the user cancelled.
bool choose_from_list(const std::string &title, const std::string &heading, const std::vector<std::string> &rows,
                      std::size_t &chosen);

// The desktop clipboard's text (UTF-8); false when it holds none.
bool clipboard_text(std::string &text);
