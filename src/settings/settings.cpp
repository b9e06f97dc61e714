// The settings file and the recent files.
#include "settings/settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "files/files.h"

bool keeping_settings = true;

namespace {

// Larger than any settings file or list of recent files a person makes.
constexpr std::size_t file_limit = 1 << 20;

std::string folder_from(const char *variable, const char *under_home) {
    const char *v = std::getenv(variable);
    if (v && v[0] == '/') return std::string(v) + "/brenvik";
    const char *home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/" + under_home + "/brenvik";
}

std::string trimmed(const std::string &s) {
    const char *space = " \t\r";
    std::size_t a = s.find_first_not_of(space);
    if (a == std::string::npos) return "";
    return s.substr(a, s.find_last_not_of(space) - a + 1);
}

std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The entry a line sets ("scale" of "scale = 3"), or empty for a comment,
// a blank line or a line without '='.
std::string entry_name(const std::string &line) {
    std::string t = trimmed(line);
    if (t.empty() || t[0] == '#') return "";
    std::size_t eq = t.find('=');
    return eq == std::string::npos ? "" : trimmed(t.substr(0, eq));
}

// Makes folder and the folders above it.
bool make_folders(const std::string &folder, std::string &reason) {
    for (std::size_t slash = 1; slash != std::string::npos;) {
        slash = folder.find('/', slash + 1);
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            reason = std::strerror(errno);
            return false;
        }
    }
    return true;
}

bool write_text(const std::string &path, const std::string &text, std::string &reason) {
    const std::string folder = path.substr(0, path.rfind('/'));
    return make_folders(folder, reason) && write_file_atomically(path, text.data(), text.size(), reason);
}

// The file's text; empty when it is missing. False when it is there but
// cannot be read (said in reason).
bool read_text(const std::string &path, std::string &text, std::string &reason) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 && errno == ENOENT) return true;
    std::vector<uint8_t> data;
    const file_read r = read_whole_file(path, file_limit, data);
    if (r.failure != read_failure::none) {
        reason = r.failure == read_failure::too_large ? "it is larger than 1 MB" : r.reason;
        return false;
    }
    text.assign(data.begin(), data.end());
    return true;
}

}  // namespace

std::string config_folder() { return folder_from("XDG_CONFIG_HOME", ".config"); }
std::string data_folder() { return folder_from("XDG_DATA_HOME", ".local/share"); }
std::string settings_path() { return config_folder() + "/brenvik.conf"; }

void read_settings_text(const std::string &text, const std::string &name, program_options &out,
                        std::vector<std::string> &problems) {
    const std::vector<std::string> lines = lines_of(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string t = trimmed(lines[i]);
        if (t.empty() || t[0] == '#') continue;
        const std::string where = name + ":" + std::to_string(i + 1) + ": ";
        const std::size_t eq = t.find('=');
        std::string why;
        if (eq == std::string::npos)
            problems.push_back(where + "not a 'name = value' line");
        else if (!apply_setting(trimmed(t.substr(0, eq)), trimmed(t.substr(eq + 1)), out, why))
            problems.push_back(where + why);
    }
}

void load_settings(program_options &out) {
    const std::string path = settings_path();
    std::string text, reason;
    if (!read_text(path, text, reason)) {
        std::fprintf(stderr, "brenvik: %s cannot be read (%s); the defaults are used.\n", path.c_str(),
                     reason.c_str());
        return;
    }
    std::vector<std::string> problems;
    read_settings_text(text, path, out, problems);
    for (const std::string &p : problems) std::fprintf(stderr, "brenvik: %s; the line is ignored.\n", p.c_str());
}

setting_entries changed_settings(const program_options &before, const program_options &after) {
    setting_entries entries;
    std::istringstream names(kept_names());
    for (std::string name; std::getline(names, name, ',');) {
        name = trimmed(name);
        const std::string now = setting_value(after, name);
        if (now != setting_value(before, name)) entries.emplace_back(name, now);
    }
    return entries;
}

std::string updated_settings_text(const std::string &text, const setting_entries &entries) {
    std::vector<std::string> lines = lines_of(text);
    for (const auto &entry : entries) {
        const std::string &name = entry.first;
        const std::string line = name + " = " + entry.second;
        auto it = std::find_if(lines.rbegin(), lines.rend(), [&](const std::string &l) { return entry_name(l) == name; });
        if (it != lines.rend())
            *it = line;
        else
            lines.push_back(line);
    }
    std::string out;
    for (const std::string &l : lines) out += l + "\n";
    return out;
}

bool save_settings(const setting_entries &entries, std::string &reason) {
    if (entries.empty()) return true;
    const std::string path = settings_path();
    std::string text;
    // An unreadable file is not replaced: what the user wrote in it stays.
    if (!read_text(path, text, reason)) return false;
    return write_text(path, updated_settings_text(text, entries), reason);
}

std::vector<std::string> recent_files() {
    std::string text, reason;
    if (!keeping_settings || !read_text(data_folder() + "/recent-files", text, reason)) return {};
    std::vector<std::string> list;
    for (const std::string &line : lines_of(text))
        if (!line.empty() && line[0] == '/' && list.size() < recent_limit) list.push_back(line);
    return list;
}

std::vector<std::string> with_recent_file(std::vector<std::string> list, const std::string &absolute_path) {
    list.erase(std::remove(list.begin(), list.end(), absolute_path), list.end());
    list.insert(list.begin(), absolute_path);
    if (list.size() > recent_limit) list.resize(recent_limit);
    return list;
}

void remember_recent_file(const std::string &path) {
    if (!keeping_settings || path.empty() || path.find('\n') != std::string::npos) return;
    std::string absolute = path;
    if (path[0] != '/') {
        char *cwd = getcwd(nullptr, 0);
        if (!cwd) return;
        absolute = std::string(cwd) + "/" + path;
        std::free(cwd);
    }
    std::string text, reason;
    for (const std::string &f : with_recent_file(recent_files(), absolute)) text += f + "\n";
    if (!write_text(data_folder() + "/recent-files", text, reason))
        std::fprintf(stderr, "brenvik: the list of recent files cannot be written: %s\n", reason.c_str());
}
