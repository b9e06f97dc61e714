// The quick-save slots' files: the folder of the program last loaded, the
// .z80 file of each slot and the tape position beside it.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files/files.h"
#include "state/state.h"

namespace {

std::string program_name = "basic";

constexpr std::size_t snapshot_limit = 1 << 20;
constexpr std::size_t position_limit = 8192;
constexpr const char *position_mark = "brenvik tape position 1";

// Makes folder and every missing folder above it.
bool make_folders(const std::string &folder, std::string &reason) {
    for (std::size_t at = 1; at <= folder.size(); ++at) {
        if (at < folder.size() && folder[at] != '/') continue;
        const std::string part = folder.substr(0, at);
        if (::mkdir(part.c_str(), 0777) == 0 || errno == EEXIST) {
            struct stat st;
            if (::stat(part.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
            reason = part + " is not a folder.";
            return false;
        }
        reason = part + ": " + std::strerror(errno) + ".";
        return false;
    }
    return true;
}

std::string position_path(int slot) { return slot_folder() + "/slot" + std::to_string(slot) + ".tape"; }

// A whole decimal number of at most 20 digits.
bool whole_number(const std::string &s, uint64_t &out) {
    if (s.empty() || s.size() > 20) return false;
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        const uint64_t next = v * 10 + uint64_t(c - '0');
        if (next / 10 != v) return false;
        v = next;
    }
    out = v;
    return true;
}

// Puts the deck's head where the position file says, the tape stopped there,
// when the tape it names is the one in the deck or can be put in.
void place_tape(const tape_position &p) {
    if (p.name != deck.name && !insert_tape(p.name).ok) return;
    const std::vector<tape_span> &spans = deck.tape.spans;
    if (p.pos > spans.size() || p.played > deck.tape.length) return;
    if (p.pos < spans.size() ? p.left > spans[p.pos].length : p.left != 0) return;
    tape_stop();
    deck.pos = p.pos;
    deck.left = p.left;
    deck.played = p.played;
}

}  // namespace

void note_loaded_file(const std::string &path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    program_name = name.empty() || name == "." || name == ".." ? "basic" : name;
}

std::string slot_folder() {
    const char *data = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (data && data[0] == '/') {
        base = data;
    } else {
        const char *home = std::getenv("HOME");
        base = std::string(home && home[0] ? home : ".") + "/.local/share";
    }
    return base + "/brenvik/slots/" + program_name;
}

std::string slot_path(int slot) { return slot_folder() + "/slot" + std::to_string(slot) + ".z80"; }

bool save_slot(int slot, std::string &reason) {
    const std::string folder = slot_folder();
    std::string why;
    if (!make_folders(folder, why)) {
        reason = "The folder " + folder + " cannot be made: " + why;
        return false;
    }
    const std::vector<uint8_t> z80 = savez80_bytes();
    const std::string path = slot_path(slot);
    if (!write_file_atomically(path, z80.data(), z80.size(), why)) {
        reason = path + " cannot be written: " + why + ".";
        return false;
    }
    // The tape position, or none when no tape is in.
    const std::string beside = position_path(slot);
    if (deck.tape.spans.empty()) {
        ::unlink(beside.c_str());
        return true;
    }
    // The head as it stands now; a tape that plays goes on playing.
    uint32_t left = deck.left;
    if (deck.playing) {
        const int64_t now_left = deck.span_end - tape_now();
        left = now_left > 0 ? uint32_t(now_left) : 0;
    }
    const std::string text = format_tape_position({deck.name, deck.pos, left, deck.played});
    if (!write_file_atomically(beside, text.data(), text.size(), why)) {
        reason = beside + " cannot be written: " + why + ".";
        return false;
    }
    return true;
}

slot_outcome load_slot(int slot, snapshot_result &why) {
    const std::string path = slot_path(slot);
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 && errno == ENOENT) return slot_outcome::empty;
    std::vector<uint8_t> z80;
    const file_read got = read_whole_file(path, snapshot_limit, z80);
    if (got.failure != read_failure::none) {
        why = {false, "Cannot Load Slot", path + "\n\n" + got.reason};
        return slot_outcome::refused;
    }
    // The position is read and checked before the machine changes.
    std::vector<uint8_t> text;
    tape_position position;
    const bool has_position = read_whole_file(position_path(slot), position_limit, text).failure ==
                                  read_failure::none &&
                              parse_tape_position(text.data(), text.size(), position);
    why = openz80_bytes(z80.data(), z80.size(), path);
    if (!why.ok) return slot_outcome::refused;
    if (has_position) place_tape(position);
    return slot_outcome::loaded;
}

std::string format_tape_position(const tape_position &p) {
    return std::string(position_mark) + "\nname " + p.name + "\npos " + std::to_string(p.pos) + "\nleft " +
           std::to_string(p.left) + "\nplayed " + std::to_string(p.played) + "\n";
}

bool parse_tape_position(const uint8_t *data, std::size_t size, tape_position &out) {
    static constexpr const char *keys[] = {"", "name ", "pos ", "left ", "played "};
    const std::string text(reinterpret_cast<const char *>(data), size);
    tape_position p;
    std::size_t at = 0;
    for (int line = 0; line < 5; ++line) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos) return false;
        const std::string row = text.substr(at, end - at);
        at = end + 1;
        if (line == 0) {
            if (row != position_mark) return false;
            continue;
        }
        const std::size_t key = std::strlen(keys[line]);
        if (row.compare(0, key, keys[line]) != 0) return false;
        const std::string value = row.substr(key);
        if (line == 1) {
            if (value.empty() || value.find('\0') != std::string::npos) return false;
            p.name = value;
            continue;
        }
        uint64_t n = 0;
        if (!whole_number(value, n)) return false;
        if (line == 2) p.pos = std::size_t(n);
        if (line == 3) {
            if (n > 0xFFFFFFFFu) return false;
            p.left = uint32_t(n);
        }
        if (line == 4) p.played = n;
    }
    if (at != text.size()) return false;
    out = p;
    return true;
}
