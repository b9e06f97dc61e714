// POKEs: the .pok reader and the trainers written into memory.
#include "pok/pok.h"

#include <sys/stat.h>

#include <cstdlib>

#include "files/files.h"
#include "z80/z80.h"

std::vector<trainer> trainers;
std::string pok_path;

namespace {

// The file now open, as the system resolves its path.
std::string open_real_path;

std::string real_path(const std::string &path) {
    char *resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return "";
    std::string r = resolved;
    std::free(resolved);
    return r;
}

// A .pok is a few kilobytes; anything far larger is not one.
constexpr std::size_t pok_limit = 1 << 20;

// A whole unsigned number in [0, high], decimal, or hexadecimal after 0x when hex is allowed.
bool number(const std::string &s, unsigned long high, unsigned long &out, bool hex = false) {
    std::size_t start = 0;
    int base = 10;
    if (hex && s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) start = 2, base = 16;
    if (s.size() <= start || s.size() - start > 8) return false;
    for (std::size_t i = start; i < s.size(); ++i) {
        const char c = s[i];
        const bool digit = c >= '0' && c <= '9';
        const bool hexdigit = base == 16 && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'));
        if (!digit && !hexdigit) return false;
    }
    out = std::strtoul(s.c_str() + start, nullptr, base);
    return out <= high;
}

std::vector<std::string> fields(const std::string &s) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
        std::size_t j = i;
        while (j < s.size() && s[j] != ' ' && s[j] != '\t') ++j;
        if (j > i) out.push_back(s.substr(i, j - i));
        i = j;
    }
    return out;
}

// One M or Z line after its letter: bank, address, value and original.
bool poke_fields(const std::string &rest, poke_line &p, std::string &why) {
    const std::vector<std::string> f = fields(rest);
    if (f.size() != 4) {
        why = "a poke has four numbers (bank, address, value, original), not " + std::to_string(f.size());
        return false;
    }
    static constexpr struct {
        const char *what;
        unsigned long high;
    } limits[] = {{"bank", 255}, {"address", 65535}, {"value", 256}, {"original value", 255}};
    unsigned long n[4];
    for (int i = 0; i < 4; ++i) {
        if (!number(f[i], limits[i].high, n[i])) {
            why = std::string("the ") + limits[i].what + " '" + f[i] + "' is not a number from 0 to " +
                  std::to_string(limits[i].high);
            return false;
        }
    }
    p = poke_line{uint8_t(n[0]), uint16_t(n[1]), uint16_t(n[2]), uint8_t(n[3])};
    return true;
}

bool exists(const std::string &path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

pok_result read_pok(const uint8_t *data, std::size_t size, const std::string &name, std::vector<trainer> &out) {
    std::vector<trainer> read;
    bool open = false;  // a trainer has begun and its Z line has not come
    int line_number = 0;
    std::size_t at = 0;
    auto refuse = [&](const std::string &why) {
        return pok_result{false, name + "\n\nThis is not a good .pok file: line " + std::to_string(line_number) +
                                     ": " + why + ".\nNo POKEs were taken from it."};
    };
    while (at < size) {
        std::size_t end = at;
        while (end < size && data[end] != '\n') ++end;
        std::string line(reinterpret_cast<const char *>(data) + at, end - at);
        at = end + 1;
        ++line_number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find('\0') != std::string::npos) return refuse("it holds a NUL byte");
        if (fields(line).empty()) continue;  // a blank line
        const char kind = line[0];
        const std::string rest = line.substr(1);
        if (kind == 'N') {
            if (open) return refuse("a new trainer begins before the last one's Z line");
            read.push_back(trainer{});
            std::size_t first = rest.find_first_not_of(" \t");
            read.back().name = first == std::string::npos ? "" : rest.substr(first);
            if (read.back().name.empty()) read.back().name = "Trainer " + std::to_string(read.size());
            open = true;
        } else if (kind == 'M' || kind == 'Z') {
            if (!open) return refuse(std::string("a poke (") + kind + ") comes before its trainer's N line");
            poke_line p;
            std::string why;
            if (!poke_fields(rest, p, why)) return refuse(why);
            read.back().pokes.push_back(p);
            if (kind == 'Z') open = false;
        } else if (kind == 'Y') {
            if (open) return refuse("the file ends (Y) before the last trainer's Z line");
            if (read.empty()) return refuse("the file ends (Y) before any trainer");
            out = std::move(read);
            return {true, ""};
        } else {
            return refuse(std::string("a line begins with N, M, Z or Y, not '") + kind + "'");
        }
    }
    ++line_number;
    return refuse("the file ends without its Y line");
}

pok_result open_pok(const std::string &path) {
    std::vector<uint8_t> data;
    const file_read r = read_whole_file(path, pok_limit, data);
    if (r.failure != read_failure::none)
        return {false, path + "\n\nThe POKEs cannot be read: " +
                           (r.failure == read_failure::too_large ? std::string("the file is too large for a .pok")
                                                                 : r.reason)};
    std::vector<trainer> read;
    const pok_result result = read_pok(data.data(), data.size(), path, read);
    if (!result.ok) return result;
    trainers = std::move(read);
    pok_path = path;
    open_real_path = real_path(path);
    return result;
}

bool pok_is_open(const std::string &path) {
    if (pok_path.empty()) return false;
    const std::string real = real_path(path);
    return !real.empty() && real == open_real_path;
}

void forget_applied_trainers() {
    for (trainer &t : trainers) {
        t.applied = false;
        t.saved.clear();
    }
}

bool trainer_fits_48k(const trainer &t) {
    for (const poke_line &p : t.pokes)
        if (p.bank < 8 || p.address < 0x4000) return false;
    return true;
}

bool trainer_asks(const trainer &t) {
    for (const poke_line &p : t.pokes)
        if (p.value == pok_ask) return true;
    return false;
}

bool apply_trainer(trainer &t, uint8_t asked) {
    if (t.applied || !trainer_fits_48k(t)) return false;
    t.saved.clear();
    for (const poke_line &p : t.pokes) {
        t.saved.push_back(ram[p.address]);
        poke_memory(p.address, p.value == pok_ask ? asked : uint8_t(p.value));
    }
    t.applied = true;
    return true;
}

void remove_trainer(trainer &t) {
    if (!t.applied) return;
    // Last first: a trainer that pokes one address twice gets the first byte back.
    for (std::size_t i = t.pokes.size(); i-- > 0;) poke_memory(t.pokes[i].address, t.saved[i]);
    t.saved.clear();
    t.applied = false;
}

std::string pok_beside(const std::string &program_path) {
    const std::size_t slash = program_path.find_last_of('/');
    const std::size_t dot = program_path.find_last_of('.');
    const std::size_t base_end =
        dot == std::string::npos || (slash != std::string::npos && dot < slash) ? program_path.size() : dot;
    for (const char *ext : {".pok", ".POK", ".Pok"}) {
        const std::string candidate = program_path.substr(0, base_end) + ext;
        if (exists(candidate)) return candidate;
    }
    return "";
}

void poke_memory(uint16_t address, uint8_t value) {
    if (address >= 0x4000) ram[address] = value;
}

bool parse_poke(const std::string &text, uint16_t &address, uint8_t &value) {
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos) return false;
    unsigned long a = 0, v = 0;
    if (!number(text.substr(0, comma), 65535, a, true) || a < 0x4000) return false;
    if (!number(text.substr(comma + 1), 255, v, true)) return false;
    address = uint16_t(a);
    value = uint8_t(v);
    return true;
}
