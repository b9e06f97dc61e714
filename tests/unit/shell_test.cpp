// The main loop's pieces, built into this test together with fakes for the
// snapshot chooser and the tape deck's dialogs (the real ones open GTK dialogs).
#include "main/shell.cpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "fake_display.h"

int chooser_opened = 0;
void openfilesna() { ++chooser_opened; }
void load_snapshot_path(const char *) {}
bool load_file_path(const std::string &) { return true; }
int saver_opened = 0;
void savefilesnapshot() { ++saver_opened; }
// The tape deck's user side stays idle here: no tape is in.
bool fast_pass() { return false; }
std::string tape_title() { return ""; }
// The menu: the action a user picks in it, and the right button's clicks.
const action *menu_pick = nullptr;
const action *choose_from_menu() { return menu_pick; }
bool right_click = false;
bool right_button_clicked() { return std::exchange(right_click, false); }
// Nothing is dropped on a fake display.
bool load_dropped_file() { return false; }
// No .pok is offered: no program is loaded.
void offer_pokes_when_due() {}
// Nor a part of a tape to choose: no tape is in.
void offer_tape_choice_when_due() {}
// Rewind and the slots stay idle here; their title text is set by a test.
std::string rewind_text;
void rewind_frame() {}
bool rewind_pass() { return false; }
std::string rewind_title() { return rewind_text; }

namespace {

constexpr bool W = false, F = true;

int dirty_cells() {
    int n = 0;
    for (int i = 0; i < squares; ++i) n += dsquare[i];
    return n;
}

// While an on-release key is held the loop waits; here the user lets go of
// every key after a few waits. Keys that act while held stay down.
int waits = 0;
bool let_go_soon() {
    if (++waits < 3) return true;
    for (int k = 0; k < KEY_MAX; ++k)
        if (k != KEY_ESC && k != KEY_F12) key[k] = 0;
    return true;
}

class Shell : public ::testing::Test {
protected:
    void SetUp() override {
        fake_display(256, 192);
        accepted_modes = {{W, 256, 192},  {W, 512, 384},  {W, 768, 576},  {W, 1024, 768},
                          {W, 1280, 960}, {F, 640, 480},  {F, 800, 600},  {F, 1024, 768},
                          {F, 1280, 1024}};
        std::memset(const_cast<char *>(key), 0, KEY_MAX);
        hotkey_wait = let_go_soon;
        waits = 0;
        chooser_opened = 0;
        saver_opened = 0;
        fullscreen_request = 0;
        display.scale = 1;
        display.fullscreen = 0;
        display.use_dsquares = 1;
        display.show_fps = 1;
        display.fine_dither = 1;
        soundon = 0;
        emulator.quit = 0;
        exit_status = 0;
        setup_tick();
        tick.pending = 7;
        initz80();
        build_dsquare_table();
        std::memset(dsquare, 0, squares);
        std::memset(lorom, 0, rom_size);
        std::memset(ram, 0, ram_size);
    }
    void press(const std::vector<int> &keys) {
        for (int k : keys) key[k] = 1;
    }
};

struct hotkey_case {
    const char *what;
    int scale;
    int request;
    std::vector<int> keys;
    std::vector<mode_call> modes;  // set_mode calls expected
    int end_scale, end_full, pending;
    int quit = 0;
};

TEST_F(Shell, DisplayKeysSetTheModeAndTheOwedFrames) {
    const hotkey_case cases[] = {
        {"F4 asks for the full screen and owes two frames", 1, 0, {KEY_F4}, {{F, 640, 480}}, 1, 1, 2},
        {"F4 again goes back to a window", 3, 1, {KEY_F4}, {{W, 768, 576}}, 3, 0, 2},
        {"F7 at scale 1", 1, 0, {KEY_F7}, {{W, 768, 576}}, 3, 0, 2},
        {"F7 at scale 3 does nothing", 3, 0, {KEY_F7}, {}, 3, 0, 7},
        {"F5 at scale 2 in full screen", 2, 1, {KEY_F5}, {{F, 640, 480}}, 1, 1, 2},
        {"F9 at scale 4", 4, 0, {KEY_F9}, {{W, 1280, 960}}, 5, 0, 2},
        {"plus at scale 2", 2, 0, {KEY_PLUS_PAD}, {{W, 768, 576}}, 3, 0, 7},
        {"plus at scale 5 stays at 5 but sets the mode", 5, 0, {KEY_PLUS_PAD}, {{W, 1280, 960}}, 5, 0, 7},
        {"minus at scale 3", 3, 0, {KEY_MINUS_PAD}, {{W, 512, 384}}, 2, 0, 7},
        {"minus at scale 1 stays at 1 but sets the mode", 1, 0, {KEY_MINUS_PAD}, {{W, 256, 192}}, 1, 0, 7},
        {"Escape with F5 held still switches to scale 1", 3, 0, {KEY_ESC, KEY_F5}, {{W, 256, 192}}, 1, 0, 2, 1},
        {"Escape alone only asks to quit", 2, 0, {KEY_ESC}, {}, 2, 0, 7, 1},
    };
    for (const hotkey_case &c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        display.scale = c.scale;
        display.fullscreen = c.request;
        fullscreen_request = c.request;
        mode_calls.clear();
        press(c.keys);
        poll_hotkeys();
        EXPECT_EQ(mode_calls, c.modes);
        EXPECT_EQ(display.scale, c.end_scale);
        EXPECT_EQ(display.fullscreen, c.end_full);
        EXPECT_EQ(tick.pending, c.pending);
        EXPECT_EQ(emulator.quit, c.quit);
        if (!c.modes.empty()) {
            EXPECT_EQ(dirty_cells(), squares) << "a mode change redraws everything";
        }
    }
}

struct toggle_case {
    const char *what;
    int key;
    int32_t *setting;
    bool fills;
};

TEST_F(Shell, SettingKeysToggleOnRelease) {
    const toggle_case cases[] = {
        {"F3: dirty squares", KEY_F3, &display.use_dsquares, false},
        {"F11: fine dither, then everything is redrawn", KEY_F11, &display.fine_dither, true},
    };
    for (const toggle_case &c : cases) {
        SCOPED_TRACE(c.what);
        for (int expected : {0, 1}) {
            std::memset(dsquare, 0, squares);
            waits = 0;
            press({c.key});
            poll_hotkeys();
            EXPECT_EQ(*c.setting, expected);
            EXPECT_EQ(waits, 3) << "acted only once the key was let go";
            EXPECT_EQ(dirty_cells(), c.fills ? squares : 0);
            EXPECT_EQ(tick.pending, 7);
        }
    }
    for (int expected : {0, 1}) {
        press({KEY_SLASH_PAD});
        poll_hotkeys();
        EXPECT_EQ(display.show_fps, expected);
    }
}

TEST_F(Shell, SoundKeyTogglesTheBeeper) {
    soundon = 1;
    press({KEY_F10});
    poll_hotkeys();
    EXPECT_EQ(soundon, 0);
    press({KEY_F10});
    poll_hotkeys();
    EXPECT_EQ(soundon, 1);
    stop_sound_stream();
    soundon = 0;
}

TEST_F(Shell, SnapshotKeyRedrawsEverythingAndForgetsTheOwedFrames) {
    tick.pending = 40;
    press({KEY_F1});
    poll_hotkeys();
    EXPECT_EQ(chooser_opened, 1);
    EXPECT_EQ(dirty_cells(), squares);
    EXPECT_EQ(tick.pending, 0);
}

TEST_F(Shell, SaveKeyOpensTheSaveDialogOnReleaseAndForgetsTheOwedFrames) {
    tick.pending = 40;
    press({KEY_F2});
    poll_hotkeys();
    EXPECT_EQ(saver_opened, 1);
    EXPECT_GT(waits, 0) << "F2 acts once it is let go";
    EXPECT_EQ(chooser_opened, 0);
    EXPECT_EQ(tick.pending, 0);
}

TEST_F(Shell, ResetKeyResetsOnEveryPassWhileHeld) {
    for (int pass = 0; pass < 3; ++pass) {
        pc = 0x1234;
        ram[0x8000] = 0x55;
        press({KEY_F12});
        poll_hotkeys();
        EXPECT_EQ(pc, 0);
        EXPECT_EQ(ram[0x8000], 0);
        EXPECT_EQ(waits, 0) << "a held key that acts while held does not wait";
    }
}

TEST_F(Shell, AFullScreenThatCannotBeSetKeepsTheWindowAndTheRequest) {
    accepted_modes = {{W, 256, 192}};
    press({KEY_F4});
    poll_hotkeys();
    EXPECT_EQ(mode_calls, (std::vector<mode_call>{{F, 640, 480}, {W, 256, 192}}));
    EXPECT_EQ(display.fullscreen, 0);
    EXPECT_EQ(emulator.quit, 0);
    // The next F4 asks for the full screen again rather than for a window.
    mode_calls.clear();
    press({KEY_F4});
    poll_hotkeys();
    ASSERT_FALSE(mode_calls.empty());
    EXPECT_EQ(mode_calls[0], (mode_call{F, 640, 480}));
}

TEST_F(Shell, LosingTheDisplayEndsTheProgramWithAFailure) {
    accepted_modes.clear();
    press({KEY_F6});
    poll_hotkeys();
    EXPECT_EQ(screen, nullptr);
    EXPECT_EQ(emulator.quit, 1);
    EXPECT_EQ(exit_status, 1);
    run_pass();  // drawing without a screen must not crash
}

// ---- frame pacing ----

TEST_F(Shell, APassRunsEveryOwedFrameThenRedrawsOnce) {
    // Memory is all NOPs: each frame moves pc on by 69888 / 4 instructions.
    for (int owed : {0, 1, 3}) {
        SCOPED_TRACE(owed);
        pc = 0;
        intreq = 0;
        tick.pending = owed;
        tick.frames = 10;
        dsquare[0] = 1;  // a changed cell: the redraw presents it
        run_pass();
        EXPECT_EQ(pc, uint16_t(owed * tstates_per_frame / 4));
        EXPECT_EQ(tick.pending, 0);
        EXPECT_EQ(intreq, owed ? 1 : 0);
        EXPECT_EQ(tick.frames, 11);
        EXPECT_EQ(dsquare[0], 0) << "drawn and cleared";
    }
}

TEST_F(Shell, FramesOwedDuringAHeldKeyRunBackToBack) {
    pc = 0;
    tick.pending = 0;
    hotkey_wait = [] {
        ticky();  // the timer keeps running while the key is held
        if (++waits == 100) key[KEY_F3] = 0;
        return true;
    };
    press({KEY_F3});
    run_pass();
    EXPECT_EQ(tick.pending, 0);
    EXPECT_EQ(pc, uint16_t(100 * tstates_per_frame / 4));
    EXPECT_EQ(tick.frames, 1);
}

TEST_F(Shell, AStopWhileAHotKeyIsHeldEndsTheWaitWithoutItsAction) {
    const int held[] = {KEY_F1, KEY_F2, KEY_F4, KEY_F10};
    for (int k : held) {
        SCOPED_TRACE(k);
        chooser_opened = saver_opened = 0;
        soundon = 0;
        waits = 0;
        hotkey_wait = [] { return ++waits < 5; };  // a stop signal at the fifth wait; the key stays down
        press({k});
        poll_hotkeys();
        EXPECT_EQ(waits, 5);
        EXPECT_EQ(chooser_opened + saver_opened + soundon, 0);
        EXPECT_EQ(display.fullscreen, 0);
        key[k] = 0;
    }
}

TEST_F(Shell, TheTimerClosesASecondEveryFiftyTicks) {
    setup_tick();
    display.show_fps = 1;
    title[0] = 0;
    for (int i = 1; i <= 49; ++i) ticky();
    EXPECT_EQ(tick.pending, 49);
    EXPECT_EQ(tick.ticks, 49);
    update_title();
    EXPECT_STREQ(title, "") << "no second has closed yet";
    tick.frames = 123;
    ticky();
    EXPECT_EQ(tick.ticks, 0);
    EXPECT_EQ(tick.fps, 123);
    EXPECT_EQ(tick.frames, 0);
    EXPECT_EQ(tick.pending, 50);
    update_title();
    EXPECT_STREQ(title, "Brenvik : 123 fps");

    // Hidden, the title is still rewritten once a second.
    display.show_fps = 0;
    tick.frames = 7;
    for (int i = 0; i < 50; ++i) ticky();
    update_title();
    EXPECT_STREQ(title, "Brenvik");
    EXPECT_EQ(tick.fps, 7);
}

TEST_F(Shell, TheRewindTextReachesTheTitleAtOnce) {
    setup_tick();
    display.show_fps = 1;
    title[0] = 0;
    rewind_text = " - rewind -3 s";
    update_title();
    EXPECT_STREQ(title, "Brenvik : 0 fps - rewind -3 s") << "no second has closed, yet the text is shown";
    rewind_text = "";
    update_title();
    EXPECT_STREQ(title, "Brenvik : 0 fps") << "and taken away at once";
    title[0] = 0;
    update_title();
    EXPECT_STREQ(title, "") << "unchanged, the title waits for the second";
}

}  // namespace
