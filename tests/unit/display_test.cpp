#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "beam/beam.h"
#include "fake_display.h"
#include "log/log.h"
#include "screen/screen.h"
#include "ula/ula.h"

namespace {

constexpr bool W = false, F = true;  // window, full screen

std::string calls_text(const std::vector<mode_call> &list) {
    std::string out;
    for (const mode_call &c : list) out += to_string(c) + "; ";
    return out;
}

class Modes : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/brenvik-modes-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        log_path = dir + "/Logfile.txt";
        ASSERT_EQ(open_log(log_path.c_str()), 0);
        fake_display(0, 0);
        std::memset(dsquare, 0, squares);
        clear_to_color(emulated_screen, 7);
        clear_to_color(scaled_buffer, 7);
    }
    void TearDown() override {
        close_log();
        std::remove(log_path.c_str());
        rmdir(dir.c_str());
    }
    // The mode the program runs in before the call under test.
    void running(int scale, bool fullscreen, int w, int h) {
        display.scale = scale;
        display.fullscreen = fullscreen;
        screen = create_bitmap(w, h);
        clear_to_color(screen, 9);
    }
    std::vector<std::string> log_lines() {
        std::ifstream in(log_path);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    std::string dir, log_path;
};

struct fallback_case {
    const char *what;
    int from_scale;
    bool from_full;
    int from_w, from_h;
    int scale;
    bool full;
    std::vector<mode_call> accepted;
    std::vector<mode_call> tried;
    std::vector<std::string> log;
    bool result;
    int end_scale;
    bool end_full;
    int end_w, end_h;
};

TEST_F(Modes, FallsBackInTheRightOrderAndLogsEachAttempt) {
    const fallback_case cases[] = {
        {"full screen 1280 x 1024 refused, 1024 x 768 taken", 1, W, 256, 192, 5, F,
         {{F, 1024, 768}},
         {{F, 1280, 1024}, {F, 1024, 768}},
         {"trying to set screen: 1280 x 1024", "trying to set screen: 1024 x 768"},
         true, 4, F, 1024, 768},
        {"window refused, full screen of the same scale taken", 1, W, 256, 192, 2, W,
         {{F, 640, 480}},
         {{W, 512, 384}, {F, 640, 480}},
         {"trying to set window size: 512 x 384"},
         true, 2, W, 640, 480},
        {"every window attempt asks for the requested scale", 1, W, 256, 192, 3, W,
         {{F, 640, 480}},
         {{W, 768, 576}, {F, 800, 600}, {W, 768, 576}, {F, 640, 480}},
         {"trying to set window size: 768 x 576", "trying to set window size: 768 x 576"},
         true, 2, W, 640, 480},
        {"a plain window change", 1, W, 256, 192, 4, W,
         {{W, 1024, 768}},
         {{W, 1024, 768}},
         {"trying to set window size: 1024 x 768"},
         true, 4, W, 1024, 768},
        {"full screen steps down to 640 x 480 twice", 5, W, 1280, 960, 3, F,
         {{F, 640, 480}},
         {{F, 800, 600}, {F, 640, 480}},
         {"trying to set screen: 800 x 600", "trying to set screen: 640 x 480"},
         true, 2, F, 640, 480},
        {"the wanted full-screen mode is already set", 4, F, 1024, 768, 4, F,
         {},
         {},
         {},
         true, 4, F, 1024, 768},
        {"a window of 1024 x 768 passes for the scale-4 full-screen size", 4, W, 1024, 768, 4, W,
         {},
         {},
         {},
         true, 4, W, 1024, 768},
        {"any other window is set again", 2, W, 512, 384, 2, W,
         {{W, 512, 384}},
         {{W, 512, 384}},
         {"trying to set window size: 512 x 384"},
         true, 2, W, 512, 384},
        {"the same full-screen size at another scale needs no new mode", 2, F, 640, 480, 1, F,
         {},
         {},
         {},
         true, 1, F, 640, 480},
        {"nothing can be set: the window the program had comes back", 3, W, 768, 576, 5, F,
         {{W, 768, 576}},
         {{F, 1280, 1024}, {F, 1024, 768}, {F, 800, 600}, {F, 640, 480}, {F, 640, 480}, {W, 768, 576}},
         {"trying to set screen: 1280 x 1024", "trying to set screen: 1024 x 768",
          "trying to set screen: 800 x 600", "trying to set screen: 640 x 480",
          "trying to set screen: 640 x 480", "trying to set window size: 768 x 576"},
         false, 3, W, 768, 576},
        {"nothing can be set: the full screen the program had comes back", 3, F, 800, 600, 2, F,
         {{F, 800, 600}},
         {{F, 640, 480}, {F, 640, 480}, {F, 800, 600}},
         {"trying to set screen: 640 x 480", "trying to set screen: 640 x 480",
          "trying to set screen: 800 x 600"},
         false, 3, F, 800, 600},
        {"nothing at all, not even the old mode", 1, W, 256, 192, 1, F,
         {},
         {{F, 640, 480}, {W, 256, 192}, {F, 640, 480}},
         {"trying to set screen: 640 x 480", "trying to set window size: 256 x 192"},
         false, 1, W, 0, 0},
    };
    for (const fallback_case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(open_log(log_path.c_str()), 0);  // a fresh log for each case
        fake_display(0, 0);
        running(c.from_scale, c.from_full, c.from_w, c.from_h);
        for (const mode_call &m : c.accepted) accepted_modes.insert({m.fullscreen, m.w, m.h});
        std::memset(dsquare, 0, squares);

        EXPECT_EQ(updatemode(c.scale, c.full), c.result);
        EXPECT_EQ(mode_calls, c.tried) << "tried: " << calls_text(mode_calls);
        EXPECT_EQ(log_lines(), c.log);
        EXPECT_EQ(display.scale, c.end_scale);
        EXPECT_EQ(display.fullscreen, c.end_full);
        if (c.end_w) {
            ASSERT_NE(screen, nullptr);
            EXPECT_EQ(screen->w, c.end_w);
            EXPECT_EQ(screen->h, c.end_h);
        } else {
            EXPECT_EQ(screen, nullptr);
        }
    }
}

TEST_F(Modes, AModeChangeStartsFromACleanPicture) {
    for (bool already_set : {true, false}) {
        SCOPED_TRACE(already_set ? "mode already set" : "new mode");
        fake_display(0, 0);
        running(4, F, 1024, 768);
        accepted_modes.insert({F, 640, 480});
        std::memset(dsquare, 0, squares);
        clear_to_color(emulated_screen, 7);
        clear_to_color(scaled_buffer, 7);
        ASSERT_TRUE(updatemode(already_set ? 4 : 2, 1));
        ASSERT_NE(screen, nullptr);
        EXPECT_EQ(getpixel(screen, 5, 5), 0);
        EXPECT_EQ(getpixel(screen, screen->w - 1, screen->h - 1), 0);
        EXPECT_EQ(getpixel(emulated_screen, 100, 100), 0);
        EXPECT_EQ(getpixel(emulated_screen, 1279, 959), 0);
        EXPECT_EQ(getpixel(scaled_buffer, 1279, 959), 0);
        int dirty = 0;
        for (int i = 0; i < squares; ++i) dirty += dsquare[i];
        EXPECT_EQ(dirty, squares);
    }
}

TEST_F(Modes, ScalesOutsideOneToFiveAreKeptInRange) {
    running(1, W, 256, 192);
    accepted_modes.insert({W, 1280, 960});
    accepted_modes.insert({W, 256, 192});
    EXPECT_TRUE(updatemode(9, 0));
    EXPECT_EQ(display.scale, 5);
    EXPECT_TRUE(updatemode(0, 0));
    EXPECT_EQ(display.scale, 1);
}

TEST_F(Modes, WithTheBorderModesHoldTheFramedPicture) {
    border_shown = 1;
    running(1, W, 320, 240);
    accepted_modes.insert({F, 1024, 768});
    accepted_modes.insert({W, 640, 480});
    EXPECT_TRUE(updatemode(4, 1));  // 1280 x 1024 refused: scale 3 in 1024 x 768
    EXPECT_TRUE(updatemode(2, 0));
    border_shown = 0;
    EXPECT_EQ(calls_text(mode_calls), "full 1280x1024; full 1024x768; window 640x480; ");
    EXPECT_EQ(display.scale, 2);
}

TEST(DirtySquares, FillAndClearCoverEveryCell) {
    clear_dsquares();
    for (int i = 0; i < squares; ++i) ASSERT_EQ(dsquare[i], 0) << i;
    dsquare[5] = 1;
    fill_dsquares();
    for (int i = 0; i < squares; ++i) ASSERT_EQ(dsquare[i], 1) << i;
    clear_dsquares();
    for (int i = 0; i < squares; ++i) ASSERT_EQ(dsquare[i], 0) << i;
}

TEST(Flash, EachTimerCallFlipsThePhase) {
    flashon = 0;
    const int expected[] = {1, 0, 1, 0};
    for (int phase : expected) {
        flashint();
        EXPECT_EQ(flashon, phase);
    }
}

}  // namespace
