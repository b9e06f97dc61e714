// The command-line parser.
#include "options/options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

program_options options;

const char *const usage_text = "Usage: brenvik [OPTION]... [SNAPSHOT|TAPE]\n"
                               "Try 'brenvik --help' for more information.\n";

namespace {

constexpr const char *version_text = "brenvik 0.1\n";

constexpr const char *option_list =
    "  --scale N              enlargement factor 1 to 5 (default 1)\n"
    "  --fullscreen           start on the full screen\n"
    "  --no-sound             start with the sound off (F10 turns it on)\n"
    "  --rom FILE             use this 16384-byte ROM image and no other (not\n"
    "                         48.rom, not the OpenSE BASIC ROM)\n"
    "  --joystick MODE        kempston: a joystick or gamepad, when present, is a\n"
    "                         Kempston joystick (default); keys: the arrow keys and\n"
    "                         Tab are the Kempston joystick; none: port 0x1F\n"
    "                         reads 0\n"
    "  --save-on-exit FILE    write a snapshot to FILE (.z80 or .sna) when quitting\n"
    "  --power-save           sleep between frames when there is nothing to do\n"
    "  --screenshot FILE      run without pacing, write the picture as a PNG to\n"
    "                         FILE and exit\n"
    "  --frames N             frames to run before --screenshot (default 100); a\n"
    "                         tape named with --screenshot is loaded first\n"
    "  --tape-auto-play on|off\n"
    "                         on: the tape plays while the program loads from it\n"
    "                         and stops a moment after (default); off: only\n"
    "                         Insert and the typed LOAD \"\" start it\n"
    "  --no-fast-load         start with fast loading off (End turns it on)\n"
    "  -h, --help             show this help and exit\n"
    "  -V, --version          show the version and exit\n";

// The hot keys, as README and the manual page list them.
constexpr const char *hot_keys =
    "\nHot keys:\n"
    "  Esc                    quit (the window's close button too)\n"
    "  F1                     load a snapshot or tape\n"
    "  F2                     save a snapshot (.z80 or .sna)\n"
    "  F3                     redraw only the changed squares, or everything\n"
    "  F4                     window or full screen\n"
    "  F5 .. F9               scale 1 .. 5\n"
    "  F10                    sound on or off\n"
    "  F11                    fine dither on or off\n"
    "  F12                    reset (while held)\n"
    "  Keypad + / Keypad -    scale up / down\n"
    "  Keypad /               frame rate in the title on or off\n"
    "  Keypad *               screenshot: brenvik-NNNN.png in the working directory\n"
    "  Scroll Lock            power saving on or off\n"
    "  Insert                 tape: play or stop\n"
    "  Home                   tape: rewind\n"
    "  Page Up                tape: recording on or off\n"
    "  Page Down              tape: write the recording to a .tap file\n"
    "  End                    tape: fast loading on or off\n";

// What each option takes.
enum class takes { nothing, value };

struct option_rule {
    const char *name;  // without the leading "--"
    char short_name;   // 0 for none
    takes arg;
};

constexpr option_rule rules[] = {
    {"scale", 0, takes::value},        {"fullscreen", 0, takes::nothing},
    {"no-sound", 0, takes::nothing},   {"rom", 0, takes::value},
    {"joystick", 0, takes::value},     {"save-on-exit", 0, takes::value},
    {"power-save", 0, takes::nothing}, {"screenshot", 0, takes::value},
    {"frames", 0, takes::value},       {"help", 'h', takes::nothing},
    {"version", 'V', takes::nothing},  {"tape-auto-play", 0, takes::value},
    {"no-fast-load", 0, takes::nothing},
};

parse_outcome bad(std::string &text, const std::string &why) {
    text = "brenvik: " + why + "\n" + usage_text;
    return parse_outcome::bad;
}

// A whole decimal number in [low, high], nothing else.
bool number(const std::string &s, long low, long high, long &out) {
    if (s.empty() || s.size() > 12) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    long v = std::strtol(s.c_str(), nullptr, 10);
    if (v < low || v > high) return false;
    out = v;
    return true;
}

// Applies one option with its value; returns false with text set when the value is wrong.
bool apply(const option_rule &o, const std::string &value, program_options &out, std::string &text) {
    const std::string name = o.name;
    long n = 0;
    if (name == "scale") {
        if (!number(value, 1, 5, n)) return bad(text, "--scale takes a number from 1 to 5, not '" + value + "'"), false;
        out.scale = int(n);
    } else if (name == "fullscreen") {
        out.fullscreen = true;
    } else if (name == "no-sound") {
        out.sound = false;
    } else if (name == "rom" || name == "save-on-exit" || name == "screenshot") {
        if (value.empty()) return bad(text, "--" + name + " needs a file name"), false;
        (name == "rom" ? out.rom : name == "save-on-exit" ? out.save_on_exit : out.screenshot) = value;
    } else if (name == "joystick") {
        if (value == "kempston")
            out.joystick = joystick_mode::kempston;
        else if (value == "keys")
            out.joystick = joystick_mode::keys;
        else if (value == "none")
            out.joystick = joystick_mode::none;
        else
            return bad(text, "--joystick takes kempston, keys or none, not '" + value + "'"), false;
    } else if (name == "power-save") {
        out.power_save = true;
    } else if (name == "frames") {
        if (!number(value, 0, 100000000, n))
            return bad(text, "--frames takes a number from 0 to 100000000, not '" + value + "'"), false;
        out.frames = n;
        out.frames_given = true;
    } else if (name == "tape-auto-play") {
        if (value != "on" && value != "off")
            return bad(text, "--tape-auto-play takes on or off, not '" + value + "'"), false;
        out.tape_auto_play = value == "on";
    } else if (name == "no-fast-load") {
        out.fast_load = false;
    }
    return true;
}

}  // namespace

std::string help_text() {
    return std::string("Usage: brenvik [OPTION]... [SNAPSHOT|TAPE]\n"
                       "A ZX Spectrum 48K emulator. Loads SNAPSHOT (.sna, .z80) or TAPE (.tap, .tzx)\n"
                       "after start-up when one is given.\n\n") +
           option_list + hot_keys;
}

parse_outcome parse_options(int argc, const char *const argv[], program_options &out, std::string &text) {
    program_options parsed;
    bool options_end = false;
    bool file_given = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i] ? argv[i] : "";
        const bool is_option = !options_end && arg.size() > 1 && arg[0] == '-';
        if (!is_option) {
            if (arg.empty()) return bad(text, "an empty argument is not a file name");
            if (file_given) return bad(text, "only one snapshot or tape can be given, not also '" + arg + "'");
            parsed.file = arg;
            file_given = true;
            continue;
        }
        if (arg == "--") {
            options_end = true;
            continue;
        }
        const option_rule *found = nullptr;
        std::string value;
        bool value_attached = false;
        if (arg[1] == '-') {
            std::string name = arg.substr(2);
            std::size_t eq = name.find('=');
            if (eq != std::string::npos) {
                value = name.substr(eq + 1);
                name = name.substr(0, eq);
                value_attached = true;
            }
            // As getopt_long: a name may be cut short while it stays unambiguous.
            int prefix_matches = 0;
            for (const option_rule &o : rules) {
                if (name == o.name) {
                    found = &o;
                    prefix_matches = 1;
                    break;
                }
                if (!name.empty() && std::strncmp(o.name, name.c_str(), name.size()) == 0) {
                    found = &o;
                    ++prefix_matches;
                }
            }
            if (prefix_matches > 1) return bad(text, "option '--" + name + "' is ambiguous");
        } else if (arg.size() == 2) {
            for (const option_rule &o : rules)
                if (o.short_name && arg[1] == o.short_name) found = &o;
        }
        if (!found) return bad(text, "unknown option '" + arg + "'");
        if (found->arg == takes::nothing && value_attached)
            return bad(text, "--" + std::string(found->name) + " takes no value");
        if (found->arg == takes::value && !value_attached) {
            if (i + 1 >= argc) return bad(text, "--" + std::string(found->name) + " needs a value");
            value = argv[++i] ? argv[i] : "";
        }
        if (std::strcmp(found->name, "help") == 0) {
            text = help_text();
            return parse_outcome::done;
        }
        if (std::strcmp(found->name, "version") == 0) {
            text = version_text;
            return parse_outcome::done;
        }
        if (!apply(*found, value, parsed, text)) return parse_outcome::bad;
    }
    if (parsed.frames_given && parsed.screenshot.empty()) return bad(text, "--frames goes with --screenshot FILE");
    out = parsed;
    return parse_outcome::run;
}
