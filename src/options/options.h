// The command line: one parser for every option the program takes.
//
// GNU style: long options, "--name VALUE" or "--name=VALUE", a name cut
// short while it stays unambiguous, "--" ends the options, and at most one
// bare argument, the snapshot or tape to load.
// Options not given keep the defaults below, which are the program's
// behaviour without any option.
#pragma once

#include <string>

enum class joystick_mode {
    kempston,  // a real joystick or gamepad, when one is present, drives port 0x1F
    keys,      // the arrow keys and a fire key drive port 0x1F instead of the digits 5 to 8
    none,      // no Kempston interface: port 0x1F reads 0
};

struct program_options {
    int scale = 1;                  // --scale N: enlargement factor 1..5
    bool fullscreen = false;        // --fullscreen
    bool sound = true;              // --no-sound turns it off
    std::string rom;                // --rom FILE: that ROM image only, instead of 48.rom or the default
    joystick_mode joystick = joystick_mode::kempston;  // --joystick kempston|keys|none
    std::string save_on_exit;       // --save-on-exit FILE: snapshot written when the user quits
    bool power_save = false;        // --power-save: wait for the timer instead of spinning
    std::string screenshot;         // --screenshot FILE: run headless-fast, write a PNG, exit
    long frames = 100;              // --frames N: how many frames to run before --screenshot
    bool frames_given = false;      // --frames was on the command line
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

// Parses argv[1..argc-1] into out. text is what to print for done and bad.
parse_outcome parse_options(int argc, const char *const argv[], program_options &out, std::string &text);

// The usage summary and the whole --help text (they share the option list).
extern const char *const usage_text;
std::string help_text();
