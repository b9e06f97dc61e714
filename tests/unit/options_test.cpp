// The command-line parser: every option in both of its spellings, the values
// each one refuses, and the bare snapshot argument.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "options/options.h"

namespace {

using edit = void (*)(program_options &);

// The parse of a command line (without the program name).
parse_outcome parse(const std::vector<std::string> &args, program_options &out, std::string &text) {
    std::vector<const char *> argv{"brenvik"};
    for (const std::string &a : args) argv.push_back(a.c_str());
    return parse_options(int(argv.size()), argv.data(), out, text);
}

void expect_same(const program_options &a, const program_options &b) {
    EXPECT_EQ(a.scale, b.scale);
    EXPECT_EQ(a.fullscreen, b.fullscreen);
    EXPECT_EQ(a.sound, b.sound);
    EXPECT_EQ(a.sound_mode, b.sound_mode);
    EXPECT_EQ(a.rom, b.rom);
    EXPECT_EQ(a.joystick, b.joystick);
    EXPECT_EQ(a.pad_map, b.pad_map);
    EXPECT_EQ(a.pok, b.pok);
    EXPECT_EQ(a.type, b.type);
    ASSERT_EQ(a.pokes.size(), b.pokes.size());
    for (std::size_t i = 0; i < a.pokes.size(); ++i) {
        EXPECT_EQ(a.pokes[i].address, b.pokes[i].address);
        EXPECT_EQ(a.pokes[i].value, b.pokes[i].value);
    }
    EXPECT_EQ(a.save_on_exit, b.save_on_exit);
    EXPECT_EQ(a.power_save, b.power_save);
    EXPECT_EQ(a.border, b.border);
    EXPECT_EQ(a.floating_bus, b.floating_bus);
    EXPECT_EQ(a.screenshot, b.screenshot);
    EXPECT_EQ(a.frames, b.frames);
    EXPECT_EQ(a.frames_given, b.frames_given);
    EXPECT_EQ(a.rewind, b.rewind);
    EXPECT_EQ(a.tape_auto_play, b.tape_auto_play);
    EXPECT_EQ(a.fast_load, b.fast_load);
    EXPECT_EQ(a.file, b.file);
}

struct accepted {
    std::vector<std::string> args;
    edit expect;  // what differs from the defaults
};

const std::vector<accepted> good = {
    {{}, [](program_options &) {}},
    {{"--scale", "3"}, [](program_options &o) { o.scale = 3; }},
    {{"--scale=5"}, [](program_options &o) { o.scale = 5; }},
    {{"--scale", "1"}, [](program_options &o) { o.scale = 1; }},
    {{"--fullscreen"}, [](program_options &o) { o.fullscreen = true; }},
    {{"--no-sound"}, [](program_options &o) { o.sound = false; }},
    {{"--rom", "my.rom"}, [](program_options &o) { o.rom = "my.rom"; }},
    {{"--rom=a=b.rom"}, [](program_options &o) { o.rom = "a=b.rom"; }},
    {{"--rom", "-odd.rom"}, [](program_options &o) { o.rom = "-odd.rom"; }},
    {{"--joystick", "keys"}, [](program_options &o) { o.joystick = joystick_mode::keys; }},
    {{"--joystick=none"}, [](program_options &o) { o.joystick = joystick_mode::none; }},
    {{"--joystick", "sinclair1"}, [](program_options &o) { o.joystick = joystick_mode::sinclair1; }},
    {{"--joystick=sinclair2"}, [](program_options &o) { o.joystick = joystick_mode::sinclair2; }},
    {{"--joystick=cursor"}, [](program_options &o) { o.joystick = joystick_mode::cursor; }},
    {{"--pad-map", "fire=M,button2=ENTER"}, [](program_options &o) { o.pad_map = "fire=M,button2=ENTER"; }},
    {{"--pok", "game.pok"}, [](program_options &o) { o.pok = "game.pok"; }},
    {{"--type", "10 PRINT 1\n", "g.z80"}, [](program_options &o) { o.type = "10 PRINT 1\n", o.file = "g.z80"; }},
    {{"--poke", "40000,0", "--poke=0xC000,201"},
     [](program_options &o) { o.pokes = {{40000, 0}, {0xC000, 201}}; }},
    {{"--sound", "hifi"}, [](program_options &o) { o.sound_mode = sound_kind::hifi; }},
    {{"--sound=hifi", "--sound=classic"}, [](program_options &) {}},
    {{"--joystick=keys", "--joystick", "kempston"}, [](program_options &) {}},
    {{"--save-on-exit", "out.z80"}, [](program_options &o) { o.save_on_exit = "out.z80"; }},
    {{"--save-on-exit=out.sna"}, [](program_options &o) { o.save_on_exit = "out.sna"; }},
    {{"--power-save"}, [](program_options &o) { o.power_save = true; }},
    {{"--border", "--fl"}, [](program_options &o) { o.border = true, o.floating_bus = true; }},
    {{"--rewind", "0"}, [](program_options &o) { o.rewind = 0; }},
    {{"--rewind=3600"}, [](program_options &o) { o.rewind = 3600; }},
    {{"--screenshot", "s.png"}, [](program_options &o) { o.screenshot = "s.png"; }},
    {{"--screenshot=s.png", "--frames=0"},
     [](program_options &o) { o.screenshot = "s.png", o.frames = 0, o.frames_given = true; }},
    {{"--frames", "250", "--screenshot", "s.png"},
     [](program_options &o) { o.screenshot = "s.png", o.frames = 250, o.frames_given = true; }},
    {{"--full", "--sca=2", "--no-s", "--j", "none"},
     [](program_options &o) { o.fullscreen = true, o.scale = 2, o.sound = false, o.joystick = joystick_mode::none; }},
    {{"--tape-auto-play", "off"}, [](program_options &o) { o.tape_auto_play = false; }},
    {{"--tape-auto-play=off", "--tape-auto-play=on"}, [](program_options &) {}},
    {{"--no-fast-load", "t.tzx"}, [](program_options &o) { o.fast_load = false, o.file = "t.tzx"; }},
    {{"game.z80"}, [](program_options &o) { o.file = "game.z80"; }},
    {{"-"}, [](program_options &o) { o.file = "-"; }},
    {{"--", "--scale"}, [](program_options &o) { o.file = "--scale"; }},
    {{"game.sna", "--scale", "2"}, [](program_options &o) { o.file = "game.sna", o.scale = 2; }},
    {{"--fullscreen", "--scale=4", "--no-sound", "--joystick", "keys", "t.tap"},
     [](program_options &o) {
         o.fullscreen = true, o.scale = 4, o.sound = false, o.joystick = joystick_mode::keys, o.file = "t.tap";
     }},
};

TEST(Options, EveryOptionInBothSpellings) {
    for (const accepted &c : good) {
        std::string joined;
        for (const std::string &a : c.args) joined += a + " ";
        SCOPED_TRACE(joined);
        program_options out, want;
        out.scale = 99;  // overwritten by a successful parse
        c.expect(want);
        std::string text;
        ASSERT_EQ(parse(c.args, out, text), parse_outcome::run) << text;
        expect_same(out, want);
    }
}

struct refused {
    std::vector<std::string> args;
    const char *reason;  // a part of the first line
};

const std::vector<refused> bad = {
    {{"--scale", "0"}, "--scale takes a number from 1 to 5, not '0'"},
    {{"--scale=6"}, "not '6'"},
    {{"--scale", "two"}, "not 'two'"},
    {{"--scale", "2x"}, "not '2x'"},
    {{"--scale", "-1"}, "not '-1'"},
    {{"--scale="}, "not ''"},
    {{"--scale"}, "--scale needs a value"},
    {{"--joystick", "mouse"}, "--joystick takes kempston, sinclair1, sinclair2, cursor, keys or none, not 'mouse'"},
    {{"--pad-map", "up=QQ"}, "--pad-map: 'QQ' is not a Spectrum key"},
    {{"--pok="}, "--pok needs a file name"},
    {{"--type="}, "--type needs the text to type"},
    {{"--type", "run", "game.tzx"}, "--type cannot go with a tape"},
    {{"--poke", "100,1"}, "--poke takes ADDRESS,VALUE (address 16384 to 65535, value 0 to 255), not '100,1'"},
    {{"--joystick=Keys"}, "not 'Keys'"},
    {{"--sound", "hi-fi"}, "--sound takes classic or hifi, not 'hi-fi'"},
    {{"--rom", ""}, "--rom needs a file name"},
    {{"--rom"}, "--rom needs a value"},
    {{"--save-on-exit="}, "--save-on-exit needs a file name"},
    {{"--screenshot="}, "--screenshot needs a file name"},
    {{"--frames", "10"}, "--frames goes with --screenshot FILE"},
    {{"--rewind", "3601"}, "--rewind takes a number of seconds from 0 to 3600, not '3601'"},
    {{"--r", "x"}, "option '--r' is ambiguous"},
    {{"--screenshot", "s.png", "--frames", "-5"}, "--frames takes a number"},
    {{"--fullscreen=yes"}, "--fullscreen takes no value"},
    {{"--no-sound=1"}, "--no-sound takes no value"},
    {{"--sound"}, "--sound needs a value"},
    {{"--sounds", "hifi"}, "unknown option '--sounds'"},
    {{"--Scale", "2"}, "unknown option '--Scale'"},
    {{"--s", "2"}, "option '--s' is ambiguous"},
    {{"--f"}, "option '--f' is ambiguous"},
    {{"--tape-auto-play", "yes"}, "--tape-auto-play takes on or off, not 'yes'"},
    {{"--no"}, "option '--no' is ambiguous"},
    {{"--scales", "2"}, "unknown option '--scales'"},
    {{"-s"}, "unknown option '-s'"},
    {{"-hV"}, "unknown option '-hV'"},
    {{""}, "an empty argument"},
    {{"--", ""}, "an empty argument"},
    {{"a.z80", "b.z80"}, "only one snapshot or tape can be given, not also 'b.z80'"},
    {{"a.z80", "--", "b.z80"}, "not also 'b.z80'"},
};

TEST(Options, BadOptionsGiveOneReasonAndTheUsage) {
    for (const refused &c : bad) {
        std::string joined;
        for (const std::string &a : c.args) joined += "[" + a + "] ";
        SCOPED_TRACE(joined);
        program_options out;
        out.file = "untouched";
        std::string text;
        ASSERT_EQ(parse(c.args, out, text), parse_outcome::bad);
        const std::string first = text.substr(0, text.find('\n') + 1);
        EXPECT_EQ(first.rfind("brenvik: ", 0), 0u) << first;
        EXPECT_NE(first.find(c.reason), std::string::npos) << first;
        EXPECT_EQ(text.substr(first.size()), usage_text);
        EXPECT_EQ(out.file, "untouched");  // a refused command line changes nothing
    }
}

TEST(Options, HelpAndVersionEndTheParse) {
    const std::vector<std::vector<std::string>> helps = {{"--help"}, {"-h"}, {"--scale", "2", "--help", "--bogus"}};
    for (const auto &args : helps) {
        program_options out;
        std::string text;
        ASSERT_EQ(parse(args, out, text), parse_outcome::done);
        EXPECT_EQ(text, help_text());
    }
    for (const char *v : {"--version", "-V"}) {
        program_options out;
        std::string text;
        ASSERT_EQ(parse({v}, out, text), parse_outcome::done);
        EXPECT_EQ(text.rfind("brenvik ", 0), 0u) << text;
    }
    // The help names every option the parser takes.
    for (const char *name : {"--scale N", "--fullscreen", "--no-sound", "--rom FILE", "--joystick MODE",
                             "--save-on-exit FILE", "--power-save", "--screenshot FILE", "--frames N", "--pad-map MAP",
                             "--pok FILE", "--poke ADDRESS,VALUE", "--type TEXT", "--help", "--version", "--border",
                             "--floating-bus", "--no-config", "--rewind SECONDS", "--sound MODE",
                             "--tape-auto-play on|off", "--no-fast-load"})
        EXPECT_NE(help_text().find(name), std::string::npos) << name;
}

}  // namespace

namespace {

// The sound kind is kept in the settings file under its option's name.
TEST(Options, SoundIsASetting) {
    program_options o;
    std::string why;
    EXPECT_EQ(setting_value(o, "sound"), "classic");
    ASSERT_TRUE(apply_setting("sound", "hifi", o, why)) << why;
    EXPECT_EQ(o.sound_mode, sound_kind::hifi);
    EXPECT_EQ(setting_value(o, "sound"), "hifi");
    EXPECT_FALSE(apply_setting("sound", "loud", o, why));
    EXPECT_EQ(why, "--sound takes classic or hifi, not 'loud'");
    EXPECT_NE(kept_names().find("sound"), std::string::npos);
}

}  // namespace
