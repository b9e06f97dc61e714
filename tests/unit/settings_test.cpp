// The settings file: reading it under the command line, the lines it
// refuses, writing back only what changed, and the list of recent files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "settings/settings.h"

namespace {

struct read_case {
    const char *text;
    int scale;
    bool fullscreen, sound;
    joystick_mode joystick;
    std::vector<std::string> problems;
};

TEST(Settings, ReadsItsEntriesAndReportsEachBadLineOnce) {
    const read_case cases[] = {
        {"", 1, false, true, joystick_mode::kempston, {}},
        {"# a comment\n\nscale = 3\nfullscreen=yes\n  no-sound =  on \njoystick = keys\n", 3, true, false,
         joystick_mode::keys, {}},
        {"scale = 2\nscale = 4\n", 4, false, true, joystick_mode::kempston, {}},
        {"scale = 9\nfullscreen = maybe\nrom = x.rom\njust words\ncolour = red\nscale = 2\r\n", 2, false, true,
         joystick_mode::kempston,
         {"f:1: --scale takes a number from 1 to 5, not '9'", "f:2: --fullscreen is yes or no, not 'maybe'",
          "f:3: no setting is called 'rom'", "f:4: not a 'name = value' line",
          "f:5: no setting is called 'colour'"}},
        {"\xff\xfe garbled \x01\nscale=\n", 1, false, true, joystick_mode::kempston,
         {"f:1: not a 'name = value' line", "f:2: --scale takes a number from 1 to 5, not ''"}},
    };
    for (const read_case &c : cases) {
        SCOPED_TRACE(c.text);
        program_options o;
        std::vector<std::string> problems;
        read_settings_text(c.text, "f", o, problems);
        EXPECT_EQ(o.scale, c.scale);
        EXPECT_EQ(o.fullscreen, c.fullscreen);
        EXPECT_EQ(o.sound, c.sound);
        EXPECT_EQ(o.joystick, c.joystick);
        EXPECT_EQ(problems, c.problems);
    }
}

TEST(Settings, TheCommandLineOverridesTheFile) {
    program_options file;
    std::vector<std::string> problems;
    read_settings_text("scale = 3\nfullscreen = yes\n", "f", file, problems);
    const char *argv[] = {"brenvik", "--scale", "2"};
    program_options out;
    std::string text;
    ASSERT_EQ(parse_options(3, argv, out, text, file), parse_outcome::run);
    EXPECT_EQ(out.scale, 2);
    EXPECT_TRUE(out.fullscreen);
}

TEST(Settings, OnlyWhatChangedIsWrittenBackAndEveryOtherLineKept) {
    program_options before, after;
    EXPECT_TRUE(changed_settings(before, after).empty()) << "nothing changed: nothing to write";
    after.scale = 1;
    after.sound = false;
    after.power_save = true;
    before.scale = 3;
    const setting_entries changed = changed_settings(before, after);
    EXPECT_EQ(changed, (setting_entries{{"scale", "1"}, {"no-sound", "yes"}, {"power-save", "yes"}}));
    EXPECT_EQ(updated_settings_text("# mine\nscale = 3\nbogus line\nscale=4\n", changed),
              "# mine\nscale = 3\nbogus line\nscale = 1\nno-sound = yes\npower-save = yes\n")
        << "the line that counts (the last) is rewritten";
    EXPECT_EQ(updated_settings_text("", {{"scale", "1"}}), "scale = 1\n");
}

TEST(Settings, RecentFilesKeepTheNewestTenOnce) {
    std::vector<std::string> list;
    for (int i = 0; i < 12; ++i) list = with_recent_file(list, "/f" + std::to_string(i));
    ASSERT_EQ(list.size(), recent_limit);
    EXPECT_EQ(list.front(), "/f11");
    EXPECT_EQ(list.back(), "/f2");
    list = with_recent_file(list, "/f5");
    EXPECT_EQ(list.size(), recent_limit);
    EXPECT_EQ(list[0], "/f5");
    EXPECT_EQ(list[1], "/f11");
}

TEST(Settings, FoldersFollowTheXdgVariables) {
    setenv("HOME", "/home/u", 1);
    setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(settings_path(), "/tmp/cfg/brenvik/brenvik.conf");
    EXPECT_EQ(data_folder(), "/home/u/.local/share/brenvik");
    setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored, as the rules say
    EXPECT_EQ(config_folder(), "/home/u/.config/brenvik");
}

}  // namespace
