// The command line: one parser for every option the program takes.
//
// GNU style: long options, "--name VALUE" or "--name=VALUE", a name cut
// short while it stays unambiguous, "--" ends the options, and at most one
// bare argument, the snapshot or tape to load.
// Options not given keep the defaults below, which are the program's
// behaviour without any option.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class joystick_mode {
    kempston,  // a real joystick or gamepad, when one is present, drives port 0x1F
    sinclair1, // a stick, or else the arrows and Tab, press 6 7 8 9 0 (left right down up fire)
    sinclair2, // ... press 1 2 3 4 5 (left right down up fire)
    cursor,    // ... press 5 8 6 7 0 (left right down up fire)
    keys,      // the arrow keys and a fire key drive port 0x1F instead of the digits 5 to 8
    none,      // no Kempston interface: port 0x1F reads 0
};
// The modes by their names on the command line, in the order above.
constexpr const char *joystick_names[] = {"kempston", "sinclair1", "sinclair2", "cursor", "keys", "none"};
constexpr int joystick_mode_count = 6;

// One --poke ADDRESS,VALUE.
struct start_poke {
    uint16_t address;
    uint8_t value;
};

enum class sound_kind {
    classic,  // one 8-bit sample per scanline at 15600 Hz
    hifi,     // each edge of the speaker band-limited, 16-bit at the mixer's rate
};
// The kinds by their names on the command line, in the order above.
constexpr const char *sound_kind_names[] = {"classic", "hifi"};
constexpr int sound_kind_count = 2;

struct program_options {
    int scale = 1;                  // --scale N: enlargement factor 1..5
    bool fullscreen = false;        // --fullscreen
    bool sound = true;              // --no-sound turns it off
    sound_kind sound_mode = sound_kind::classic;  // --sound classic|hifi
    std::string rom;                // --rom FILE: that ROM image only, instead of 48.rom or the default
    joystick_mode joystick = joystick_mode::kempston;  // --joystick kempston|sinclair1|sinclair2|cursor|keys|none
    std::string pad_map;            // --pad-map MAP: pad inputs on Spectrum keys ("up=Q,fire=M")
    std::string save_on_exit;       // --save-on-exit FILE: snapshot written when the user quits
    bool power_save = false;        // --power-save: wait for the timer instead of spinning
    bool border = false;            // --border: show the border around the picture
    bool floating_bus = false;      // --floating-bus: odd ports read the ULA's picture fetch
    std::string screenshot;         // --screenshot FILE: run headless-fast, write a PNG, exit
    long frames = 100;              // --frames N: how many frames to run before --screenshot
    bool frames_given = false;      // --frames was on the command line
    bool no_config = false;         // --no-config: no settings file read or written
    std::string pok;                // --pok FILE: apply all of its trainers at start
    std::vector<start_poke> pokes;  // --poke ADDRESS,VALUE (repeatable): poked at start
    std::string type;               // --type TEXT: typed once the ROM is ready
    int rewind = 60;                // --rewind SECONDS: seconds Delete can go back; 0 keeps no history
    bool tape_auto_play = true;     // --tape-auto-play on|off: the deck plays while the program loads
    bool fast_load = true;          // --no-fast-load: start with fast loading off (End turns it on)
    std::string file;               // the snapshot or tape to load after start-up
};

// The options of this run, as parsed by main.
extern program_options options;

enum class parse_outcome {
    run,   // start the emulator with these options
    done,  // --help or --version: print text on standard output, exit 0
    bad,   // print text (one line saying why, then the usage) on standard error, exit 2
};

// Parses argv[1..argc-1] over base (the defaults, or what the settings file
// says) into out. text is what to print for done and bad; out is written
// only for run.
parse_outcome parse_options(int argc, const char *const argv[], program_options &out, std::string &text,
                            const program_options &base = program_options());

// ---- The settings file's entries: the options it keeps, by their long names ----

// The kept options' names, comma-separated, as the help lists them.
std::string kept_names();
// Applies a settings entry as the option of that name with that value (a
// switch takes yes or no). False, with the reason, for a name the file does
// not keep or a value the option refuses; out is then unchanged.
bool apply_setting(const std::string &name, const std::string &value, program_options &out, std::string &why);
// The value a settings entry would write for o ("3", "yes", "keys").
std::string setting_value(const program_options &o, const std::string &name);

// The usage summary and the whole --help text (they share the option list).
extern const char *const usage_text;
std::string help_text();
