// The command-line parser.
#include "options/options.h"

#include "actions/actions.h"
#include "joystick/joystick.h"
#include "pok/pok.h"
#include "tape/tape.h"

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <cstdlib>
#include <cstring>

program_options options;

const char *const usage_text = "Usage: brenvik [OPTION]... [SNAPSHOT|TAPE]\n"
                               "Try 'brenvik --help' for more information.\n";

namespace {

constexpr const char *version_text = "brenvik 0.1\n";

// What each option takes.
enum class takes { nothing, value };

// One row per option: its name, what it takes, whether the settings file
// keeps it (under the same name; a switch as "yes" or "no") and its help.
// A help line's "\n" continues it on the next line, under the first.
struct option_rule {
    const char *name;  // without the leading "--"
    char short_name;   // 0 for none
    takes arg;
    const char *value_name;  // "N", "FILE": how the help names the value
    bool kept;               // a settings-file entry
    const char *help;
};

constexpr option_rule rules[] = {
    {"scale", 0, takes::value, "N", true, "enlargement factor 1 to 5 (default 1)"},
    {"fullscreen", 0, takes::nothing, nullptr, true, "start on the full screen"},
    {"no-sound", 0, takes::nothing, nullptr, true, "start with the sound off (F10 turns it on)"},
    {"sound", 0, takes::value, "MODE", true,
     "classic: the speaker sampled once per scanline\n(default); hifi: every edge of the speaker timed to\n"
     "the T-state and band-limited, 16-bit at the sound\ncard's rate"},
    {"rom", 0, takes::value, "FILE", false,
     "use this 16384-byte ROM image and no other (not\n48.rom, not the OpenSE BASIC ROM)"},
    {"joystick", 0, takes::value, "MODE", true,
     "kempston: a joystick or gamepad, when present, is a\nKempston joystick (default); keys: the arrow keys and\n"
     "Tab are the Kempston joystick; sinclair1,\nsinclair2, cursor: the joystick or gamepad, or\n"
     "without one the arrow keys and Tab, press the keys\n6-0, 1-5 or 5-8 and 0; none: port 0x1F reads 0"},
    {"pad-map", 0, takes::value, "MAP", true,
     "put pad inputs on Spectrum keys, e.g.\nup=Q,down=A,left=O,right=P,fire=M,button2=ENTER"},
    {"pok", 0, takes::value, "FILE", false, "apply every trainer of the .pok FILE at start"},
    {"poke", 0, takes::value, "ADDRESS,VALUE", false,
     "poke VALUE at ADDRESS (16384 to 65535) at start;\nmay be given more than once"},
    {"type", 0, takes::value, "TEXT", false,
     "type TEXT into the Spectrum once the ROM is ready\n(a line break is ENTER); any key stops it"},
    {"save-on-exit", 0, takes::value, "FILE", false, "write a snapshot to FILE (.z80 or .sna) when quitting"},
    {"power-save", 0, takes::nothing, nullptr, true, "sleep between frames when there is nothing to do"},
    {"border", 0, takes::nothing, nullptr, true,
     "show the border (32 pixels at the sides, 24 above\nand below) with its stripes and effects"},
    {"floating-bus", 0, takes::nothing, nullptr, true,
     "odd ports other than 0x1F read the byte the ULA\nfetches for the picture at that moment (else 0)"},
    {"screenshot", 0, takes::value, "FILE", false, "run without pacing, write the picture as a PNG to\nFILE and exit"},
    {"frames", 0, takes::value, "N", false, "frames to run before --screenshot (default 100)"},
    {"rewind", 0, takes::value, "SECONDS", true,
     "how far back Delete can go, a state kept each second\n(default 60; 0 keeps none)"},
    {"tape-auto-play", 0, takes::value, "on|off", true,
     "on: the tape plays while the program loads from it\nand stops a moment after (default); off: only\n"
     "Insert and the typed LOAD \"\" start it"},
    {"no-fast-load", 0, takes::nothing, nullptr, true, "start with fast loading off (End turns it on)"},
    {"no-config", 0, takes::nothing, nullptr, false,
     "start from the defaults: read no settings file and\nwrite none, nor the recent files"},
    {"help", 'h', takes::nothing, nullptr, false, "show this help and exit"},
    {"version", 'V', takes::nothing, nullptr, false, "show the version and exit"},
};

// The options part of --help, from the rules.
std::string option_list() {
    std::string text;
    for (const option_rule &o : rules) {
        std::string head = "  ";
        if (o.short_name) head += std::string("-") + o.short_name + ", ";
        head += std::string("--") + o.name;
        if (o.value_name) head += std::string(" ") + o.value_name;
        head.resize(std::max<std::size_t>(head.size() + 1, 25), ' ');
        std::string help = o.help;
        for (std::size_t nl = 0; (nl = help.find('\n', nl)) != std::string::npos; nl += 26)
            help.replace(nl, 1, "\n" + std::string(25, ' '));
        text += head + help + "\n";
    }
    return text;
}

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

bool switch_value(const std::string &v, bool &on) {
    static const char *const yes[] = {"yes", "true", "on", "1"}, *const no[] = {"no", "false", "off", "0"};
    for (const char *y : yes)
        if (v == y) return on = true;
    for (const char *n : no)
        if (v == n) return !(on = false);
    return false;
}

// Applies one option with its value; returns false with text set when the value is wrong.
bool apply(const option_rule &o, const std::string &value, program_options &out, std::string &text) {
    const std::string name = o.name;
    long n = 0;
    if (name == "scale") {
        if (!number(value, 1, 5, n)) return bad(text, "--scale takes a number from 1 to 5, not '" + value + "'"), false;
        out.scale = int(n);
    } else if (o.arg == takes::nothing) {
        // A switch: given on the command line it is "yes"; the settings file says yes or no.
        bool on = false;
        if (!switch_value(value, on)) return bad(text, "--" + name + " is yes or no, not '" + value + "'"), false;
        if (name == "fullscreen") out.fullscreen = on;
        if (name == "no-sound") out.sound = !on;
        if (name == "power-save") out.power_save = on;
        if (name == "no-config") out.no_config = on;
        if (name == "no-fast-load") out.fast_load = !on;
        if (name == "border") out.border = on;
        if (name == "floating-bus") out.floating_bus = on;
    } else if (name == "rom" || name == "save-on-exit" || name == "screenshot" || name == "pok") {
        if (value.empty()) return bad(text, "--" + name + " needs a file name"), false;
        (name == "rom"            ? out.rom
         : name == "save-on-exit" ? out.save_on_exit
         : name == "pok"          ? out.pok
                                  : out.screenshot) = value;
    } else if (name == "poke") {
        start_poke p{};
        if (!parse_poke(value, p.address, p.value))
            return bad(text, "--poke takes ADDRESS,VALUE (address 16384 to 65535, value 0 to 255), not '" + value +
                                 "'"),
                   false;
        out.pokes.push_back(p);
    } else if (name == "joystick") {
        int m = 0;
        while (m < joystick_mode_count && value != joystick_names[m]) ++m;
        if (m == joystick_mode_count)
            return bad(text, "--joystick takes kempston, sinclair1, sinclair2, cursor, keys or none, not '" + value +
                                 "'"),
                   false;
        out.joystick = joystick_mode(m);
    } else if (name == "rewind") {
        if (!number(value, 0, 3600, n))
            return bad(text, "--rewind takes a number of seconds from 0 to 3600, not '" + value + "'"), false;
        out.rewind = int(n);
    } else if (name == "pad-map") {
        pad_map map;
        std::string why;
        if (!parse_pad_map(value, map, why)) return bad(text, "--pad-map: " + why), false;
        out.pad_map = value;
    } else if (name == "type") {
        if (value.empty()) return bad(text, "--type needs the text to type"), false;
        out.type = value;
    } else if (name == "sound") {
        int m = 0;
        while (m < sound_kind_count && value != sound_kind_names[m]) ++m;
        if (m == sound_kind_count) return bad(text, "--sound takes classic or hifi, not '" + value + "'"), false;
        out.sound_mode = sound_kind(m);
    } else if (name == "frames") {
        if (!number(value, 0, 100000000, n))
            return bad(text, "--frames takes a number from 0 to 100000000, not '" + value + "'"), false;
        out.frames = n;
        out.frames_given = true;
    } else if (name == "rewind") {
        if (!number(value, 0, 3600, n))
            return bad(text, "--rewind takes a number of seconds from 0 to 3600, not '" + value + "'"), false;
        out.rewind = int(n);
    } else if (name == "tape-auto-play") {
        if (value != "on" && value != "off")
            return bad(text, "--tape-auto-play takes on or off, not '" + value + "'"), false;
        out.tape_auto_play = value == "on";
    }
    return true;
}

}  // namespace

std::string help_text() {
    return std::string("Usage: brenvik [OPTION]... [SNAPSHOT|TAPE]\n"
                       "A ZX Spectrum 48K emulator. Loads SNAPSHOT (.sna, .z80) or TAPE (.tap, .tzx, .pzx,\n"
                       ".csw), also inside a .zip or .gz archive, after start-up when one is given.\n\n") +
           option_list() + hot_key_help() +
           "\nSettings: $XDG_CONFIG_HOME/brenvik/brenvik.conf (else ~/.config/brenvik/brenvik.conf),\n"
           "one 'name = value' line per option kept there (" + kept_names() + ");\n"
           "the command line overrides it, and changes made while running are written back on quit.\n";
}

std::string kept_names() {
    std::string names;
    for (const option_rule &o : rules)
        if (o.kept) names += (names.empty() ? "" : ", ") + std::string(o.name);
    return names;
}

bool apply_setting(const std::string &name, const std::string &value, program_options &out, std::string &why) {
    for (const option_rule &o : rules) {
        if (!o.kept || name != o.name) continue;
        std::string text;
        if (apply(o, value, out, text)) return true;
        // The parser's reason without its "brenvik: " and the usage.
        why = text.substr(9, text.find('\n') - 9);
        return false;
    }
    why = "no setting is called '" + name + "'";
    return false;
}

std::string setting_value(const program_options &o, const std::string &name) {
    auto yes_no = [](bool on) { return std::string(on ? "yes" : "no"); };
    if (name == "scale") return std::to_string(o.scale);
    if (name == "fullscreen") return yes_no(o.fullscreen);
    if (name == "no-sound") return yes_no(!o.sound);
    if (name == "power-save") return yes_no(o.power_save);
    if (name == "joystick") return joystick_names[int(o.joystick)];
    if (name == "pad-map") return o.pad_map;
    if (name == "rewind") return std::to_string(o.rewind);
    if (name == "tape-auto-play") return o.tape_auto_play ? "on" : "off";
    if (name == "no-fast-load") return yes_no(!o.fast_load);
    if (name == "border") return yes_no(o.border);
    if (name == "floating-bus") return yes_no(o.floating_bus);
    if (name == "sound") return sound_kind_names[int(o.sound_mode)];
    return "";
}

parse_outcome parse_options(int argc, const char *const argv[], program_options &out, std::string &text,
                            const program_options &base) {
    program_options parsed = base;
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
        if (found->arg == takes::nothing) value = "yes";
        if (!apply(*found, value, parsed, text)) return parse_outcome::bad;
    }
    if (parsed.frames_given && parsed.screenshot.empty()) return bad(text, "--frames goes with --screenshot FILE");
    // A tape types LOAD "" itself.
    if (!parsed.type.empty() && is_tape_name(parsed.file)) return bad(text, "--type cannot go with a tape");
    out = parsed;
    return parse_outcome::run;
}
