// Joysticks: a real stick through Allegro, or the arrow keys and Tab, as a
// Kempston, Sinclair or cursor joystick, and the pad map over any of them.
#include "joystick/joystick.h"

#include <allegro.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>

uint8_t kempston;

namespace {

joystick_mode mode = joystick_mode::kempston;
pad_map map = empty_pad_map;
bool stick_present = false;
// The matrix keys held by the joystick, by half-row, active high.
int rows[8];

int allegro_find_sticks() {
    if (install_joystick(JOY_TYPE_AUTODETECT) != 0) return 0;
    return num_joysticks;
}

// The first stick's two axes as digital directions, and its buttons.
uint32_t allegro_read_stick() {
    poll_joystick();
    const JOYSTICK_INFO &j = joy[0];
    uint32_t r = 0;
    if (j.num_sticks > 0) {
        const JOYSTICK_STICK_INFO &s = j.stick[0];
        if (s.num_axis > 0 && s.axis[0].d2) r |= kempston_right;
        if (s.num_axis > 0 && s.axis[0].d1) r |= kempston_left;
        if (s.num_axis > 1 && s.axis[1].d2) r |= kempston_down;
        if (s.num_axis > 1 && s.axis[1].d1) r |= kempston_up;
    }
    for (int b = 0; b < j.num_buttons && b < pad_buttons; ++b)
        if (j.button[b].b) r |= pad_button(b + 1);
    return r;
}

// The host keys that stand in for a pad: the arrows and Tab as fire.
struct stick_key {
    int host;
    uint32_t input;
};
constexpr stick_key stick_keys[] = {
    {KEY_RIGHT, kempston_right}, {KEY_LEFT, kempston_left}, {KEY_DOWN, kempston_down},
    {KEY_UP, kempston_up},       {KEY_TAB, pad_button(1)},
};

// The keys the matrix joysticks press for right, left, down, up and fire.
struct matrix_stick {
    joystick_mode mode;
    matrix_key keys[5];
};
constexpr matrix_stick matrix_sticks[] = {
    {joystick_mode::sinclair1, {{4, 3}, {4, 4}, {4, 2}, {4, 1}, {4, 0}}},  // 7 6 8 9 0
    {joystick_mode::sinclair2, {{3, 1}, {3, 0}, {3, 2}, {3, 3}, {3, 4}}},  // 2 1 3 4 5
    {joystick_mode::cursor, {{4, 2}, {3, 4}, {4, 4}, {4, 3}, {4, 0}}},     // 8 5 6 7 0
};

// Every Spectrum key by the name the pad map gives it.
struct key_name {
    const char *name;
    matrix_key key;
};
constexpr key_name key_names[] = {
    {"CAPS", {0, 0}}, {"Z", {0, 1}}, {"X", {0, 2}}, {"C", {0, 3}}, {"V", {0, 4}},
    {"A", {1, 0}},    {"S", {1, 1}}, {"D", {1, 2}}, {"F", {1, 3}}, {"G", {1, 4}},
    {"Q", {2, 0}},    {"W", {2, 1}}, {"E", {2, 2}}, {"R", {2, 3}}, {"T", {2, 4}},
    {"1", {3, 0}},    {"2", {3, 1}}, {"3", {3, 2}}, {"4", {3, 3}}, {"5", {3, 4}},
    {"0", {4, 0}},    {"9", {4, 1}}, {"8", {4, 2}}, {"7", {4, 3}}, {"6", {4, 4}},
    {"P", {5, 0}},    {"O", {5, 1}}, {"I", {5, 2}}, {"U", {5, 3}}, {"Y", {5, 4}},
    {"ENTER", {6, 0}}, {"L", {6, 1}}, {"K", {6, 2}}, {"J", {6, 3}}, {"H", {6, 4}},
    {"SPACE", {7, 0}}, {"SYMBOL", {7, 1}}, {"M", {7, 2}}, {"N", {7, 3}}, {"B", {7, 4}},
};

std::string upper(std::string s) {
    for (char &c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The pad input a map entry names: 0..3 the directions, 4.. the buttons; -1 for none.
int input_named(const std::string &name) {
    static constexpr const char *directions[] = {"RIGHT", "LEFT", "DOWN", "UP"};
    for (int i = 0; i < 4; ++i)
        if (name == directions[i]) return i;
    if (name == "FIRE" || name == "BUTTON1") return 4;
    if (name.size() < 7 || name.size() > 8 || name.compare(0, 6, "BUTTON") != 0) return -1;
    const std::string digits = name.substr(6);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) || digits[0] == '0')
        return -1;
    const int n = std::stoi(digits);
    return n >= 1 && n <= pad_buttons ? 3 + n : -1;
}

bool reads_stick() { return mode != joystick_mode::keys && mode != joystick_mode::none; }

// The arrows and Tab are the pad in keys mode, and in the matrix modes when no stick is there.
bool keys_are_pad() {
    return mode == joystick_mode::keys || (reads_stick() && mode != joystick_mode::kempston && !stick_present);
}

const matrix_stick *matrix_type() {
    for (const matrix_stick &m : matrix_sticks)
        if (m.mode == mode) return &m;
    return nullptr;
}

void hold(matrix_key k) { rows[k.half_row] |= 1 << k.bit; }

}  // namespace

int (*find_sticks)() = allegro_find_sticks;
uint32_t (*read_stick)() = allegro_read_stick;

bool parse_pad_map(const std::string &text, pad_map &out, std::string &why) {
    pad_map parsed = empty_pad_map;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string entry = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const std::size_t eq = entry.find('=');
        if (eq == std::string::npos) {
            why = "'" + entry + "' is not INPUT=KEY";
            return false;
        }
        const int input = input_named(upper(entry.substr(0, eq)));
        if (input < 0) {
            why = "'" + entry.substr(0, eq) + "' is not up, down, left, right, fire or button2 to button12";
            return false;
        }
        const std::string key = upper(entry.substr(eq + 1));
        const key_name *found = std::find_if(std::begin(key_names), std::end(key_names),
                                             [&key](const key_name &k) { return key == k.name; });
        if (found == std::end(key_names)) {
            why = "'" + entry.substr(eq + 1) + "' is not a Spectrum key (A-Z, 0-9, ENTER, SPACE, CAPS, SYMBOL)";
            return false;
        }
        if (parsed.keys[input].half_row >= 0) {
            why = "'" + entry.substr(0, eq) + "' is given twice";
            return false;
        }
        parsed.keys[input] = found->key;
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    out = parsed;
    return true;
}

void start_joystick(joystick_mode m, const pad_map &pm) {
    mode = m;
    map = pm;
    stick_present = reads_stick() && find_sticks() > 0;
    kempston = 0;
    std::fill(std::begin(rows), std::end(rows), 0);
}

void poll_kempston() {
    uint32_t pad = 0;
    if (keys_are_pad()) {
        for (const stick_key &k : stick_keys)
            if (key[k.host]) pad |= k.input;
    } else if (stick_present) {
        pad = read_stick();
    }
    // Each input goes to the key the map gives it, else to the joystick
    // type: a direction to its switch, any button to fire.
    const matrix_stick *type = matrix_type();
    uint8_t port = 0;
    std::fill(std::begin(rows), std::end(rows), 0);
    for (int i = 0; i < pad_inputs; ++i) {
        if (!(pad >> i & 1)) continue;
        if (map.keys[i].half_row >= 0) {
            hold(map.keys[i]);
            continue;
        }
        const int s = i < 4 ? i : 4;  // the switch: right, left, down, up, fire
        if (type)
            hold(type->keys[s]);
        else
            port |= uint8_t(1 << s);
    }
    kempston = port;
}

int joystick_row(int h) { return rows[h]; }

bool joystick_owns_key(int host_key) {
    return keys_are_pad() &&
           std::any_of(std::begin(stick_keys), std::end(stick_keys),
                       [host_key](const stick_key &k) { return k.host == host_key; });
}
