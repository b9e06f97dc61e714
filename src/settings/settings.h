// What the program keeps between runs: the settings file and the recent files.
//
// The settings file, $XDG_CONFIG_HOME/brenvik/brenvik.conf (else
// ~/.config/brenvik/brenvik.conf), holds "name = value" lines, one for each
// option kept there, by the option's long name ("scale = 3", "fullscreen =
// yes"); '#' starts a comment. It is read before the command line, which
// overrides it. A line that cannot be used is reported once and ignored; a
// file that cannot be read at all leaves the defaults. On quit, the entries
// the user changed while the program ran are written back into it: their
// lines are rewritten, every other line (comments too) stays as it was.
//
// The recent files, $XDG_DATA_HOME/brenvik/recent-files (else
// ~/.local/share/brenvik/recent-files), list the last ten files loaded, the
// newest first, one path a line.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "options/options.h"

// Off with --no-config: nothing is read from or written to either file.
extern bool keeping_settings;

// The folders by the XDG rules: the variable's value when it is set to an
// absolute path, else the given folder under $HOME.
std::string config_folder();  // .../brenvik under $XDG_CONFIG_HOME or ~/.config
std::string data_folder();    // .../brenvik under $XDG_DATA_HOME or ~/.local/share
std::string settings_path();

// Applies the entries of a settings text onto out; each line that cannot be
// used adds "name:LINE: why" to problems.
void read_settings_text(const std::string &text, const std::string &name, program_options &out,
                        std::vector<std::string> &problems);
// Reads the settings file onto out, when there is one; problems are said on
// standard error, each once.
void load_settings(program_options &out);

using setting_entries = std::vector<std::pair<std::string, std::string>>;
// The entries of kept options whose values differ between before and after.
setting_entries changed_settings(const program_options &before, const program_options &after);
// The text with each entry's line set to the new value: the last line naming
// it is rewritten, others kept; an entry with no line is added at the end.
std::string updated_settings_text(const std::string &text, const setting_entries &entries);
// Writes the entries into the settings file (atomically, making its folder).
// False with the reason when it could not be written.
bool save_settings(const setting_entries &entries, std::string &reason);

// ---- Recent files ----
constexpr std::size_t recent_limit = 10;
std::vector<std::string> recent_files();
// Puts path (made absolute) first in the list, dropping an older entry of it
// and the eleventh, and writes the list.
void remember_recent_file(const std::string &path);
// The list's rules over the list itself.
std::vector<std::string> with_recent_file(std::vector<std::string> list, const std::string &absolute_path);
