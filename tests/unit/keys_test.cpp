// Host key changes replayed to the keyboard matrix frame by frame, and the
// symbols typed by character, read the way the ROM reads them: through the
// half-rows of the matrix.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "keys/keys.h"
#include "ula/ula.h"

namespace {

constexpr int64_t frame = 19997;  // one frame of the 50.008 Hz timer, in microseconds
int64_t fake_now = 0;

// A Spectrum key by its place on the matrix.
struct spot {
    int row;
    int bit;
};
constexpr spot caps_shift{0, 0}, symbol_shift{7, 1};

// The keys the matrix holds now, as a list of spots.
std::vector<std::pair<int, int>> held_keys() {
    std::vector<std::pair<int, int>> v;
    for (int h = 0; h < 8; ++h)
        for (int b = 0; b < 5; ++b)
            if (scan(h) & (1 << b)) v.push_back({h, b});
    return v;
}
std::vector<std::pair<int, int>> keys_of(std::vector<spot> s) {
    std::vector<std::pair<int, int>> v;
    for (const spot &k : s) v.push_back({k.row, k.bit});
    std::sort(v.begin(), v.end());
    return v;
}

class Replay : public ::testing::Test {
protected:
    void SetUp() override {
        fake_now = 1000000000;
        key_clock = [] { return fake_now; };
        install_key_replay();
    }
    void TearDown() override {
        remove_key_replay();
        key_clock = saved_clock;
    }
    // A key change 10 ms on, as fast as a person changes keys; a press with
    // the character the layout made of it.
    void press(int code, int ch = 0) {
        fake_now += 10000;
        record_key_change(fake_now, code, true);
        if (code < KEY_MODIFIERS) record_key_character(code, ch);
    }
    void release(int code) {
        fake_now += 10000;
        record_key_change(fake_now, code, false);
    }
    // Real time passes by n frames, the timer ticking, the loop keeping up.
    void run_frames(int n) {
        for (int i = 0; i < n; ++i) {
            fake_now += frame;
            note_frame_tick();
            keys_frame(1);
        }
    }
    int64_t (*saved_clock)() = key_clock;
};

// Every character typed with SYMBOL SHIFT, the Spectrum key whose legend
// shows it (written from the 48K keyboard, not from the program's table).
struct symbol_case {
    const char *name;
    int ch;
    spot key;
};
const std::vector<symbol_case> all_symbols = {
    {"exclamation", '!', {3, 0}}, {"at", '@', {3, 1}},        {"hash", '#', {3, 2}},
    {"dollar", '$', {3, 3}},      {"percent", '%', {3, 4}},   {"ampersand", '&', {4, 4}},
    {"apostrophe", '\'', {4, 3}}, {"open", '(', {4, 2}},      {"close", ')', {4, 1}},
    {"underscore", '_', {4, 0}},  {"less", '<', {2, 3}},      {"greater", '>', {2, 4}},
    {"quote", '"', {5, 0}},       {"semicolon", ';', {5, 1}}, {"colon", ':', {0, 1}},
    {"pound", 0xA3, {0, 2}},      {"question", '?', {0, 3}},  {"slash", '/', {0, 4}},
    {"star", '*', {7, 4}},        {"comma", ',', {7, 3}},     {"stop", '.', {7, 2}},
    {"plus", '+', {6, 2}},        {"minus", '-', {6, 3}},     {"equals", '=', {6, 1}},
    {"caret", '^', {6, 4}},
};

class EachSymbol : public Replay, public ::testing::WithParamInterface<symbol_case> {};

// Typed without Shift (a key of its own) and with left or right Shift on a
// key that is mapped itself (US Shift+8 is '*'): SYMBOL SHIFT and the key,
// neither the host key's own Spectrum key nor CAPS SHIFT.
TEST_P(EachSymbol, HoldsSymbolShiftAndItsKeyOnly) {
    const symbol_case &c = GetParam();
    const auto want = keys_of({symbol_shift, c.key});
    for (int shift : {0, int(KEY_LSHIFT), int(KEY_RSHIFT)}) {
        SCOPED_TRACE("shift " + std::to_string(shift));
        const int host = shift ? KEY_QUOTE : KEY_SLASH;
        if (shift) press(shift);
        press(host, c.ch);
        run_frames(1);
        EXPECT_EQ(held_keys(), want);
        release(host);
        if (shift) release(shift);
        run_frames(4);
        EXPECT_TRUE(held_keys().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Table, EachSymbol, ::testing::ValuesIn(all_symbols),
                         [](const ::testing::TestParamInfo<symbol_case> &i) { return std::string(i.param.name); });

// Keys whose character is not a symbol, keypad keys and a digit with right
// Shift alone keep their own mapping.
TEST_F(Replay, OtherCharactersKeepTheKeyTable) {
    struct other {
        std::vector<int> shifts;
        int code, ch;
        std::vector<spot> want;
    };
    const std::vector<other> cases = {
        {{}, KEY_A, 'a', {{1, 0}}},
        {{KEY_LSHIFT}, KEY_A, 'A', {caps_shift, {1, 0}}},
        {{}, KEY_1, '1', {{3, 0}}},
        {{KEY_RSHIFT}, KEY_1, '!', {caps_shift, {3, 0}}},   // EDIT
        {{KEY_RSHIFT}, KEY_8, '*', {caps_shift, {4, 2}}},   // cursor right
        {{KEY_LSHIFT}, KEY_8, '*', {symbol_shift, {7, 4}}},
        {{KEY_LSHIFT, KEY_RSHIFT}, KEY_8, '*', {symbol_shift, {7, 4}}},
        {{}, KEY_ASTERISK, '*', {}},
        {{}, KEY_MINUS_PAD, '-', {}},
        {{}, KEY_3_PAD, '3', {}},
        {{}, KEY_ENTER, '\r', {{6, 0}}},
        {{}, KEY_SPACE, ' ', {{7, 0}}},
    };
    for (const other &o : cases) {
        SCOPED_TRACE("key " + std::to_string(o.code) + " char " + std::to_string(o.ch));
        for (int s : o.shifts) press(s);
        press(o.code, o.ch);
        run_frames(1);
        EXPECT_EQ(held_keys(), keys_of(o.want));
        release(o.code);
        for (int s : o.shifts) release(s);
        run_frames(4);
        EXPECT_TRUE(held_keys().empty());
    }
}

// Presses and releases pair by host key, whatever is let go first.
TEST_F(Replay, PressAndReleasePairByHostKey) {
    const auto quote = keys_of({symbol_shift, {5, 0}});
    // Shift let go before the key it shifted: still the quote, then nothing.
    press(KEY_LSHIFT);
    run_frames(1);
    EXPECT_EQ(held_keys(), keys_of({caps_shift}));
    press(KEY_QUOTE, '"');
    run_frames(3);
    EXPECT_EQ(held_keys(), quote);
    release(KEY_LSHIFT);
    run_frames(3);
    EXPECT_EQ(held_keys(), quote);
    release(KEY_QUOTE);
    run_frames(3);
    EXPECT_TRUE(held_keys().empty());

    // Two symbols overlapping: each leaves with its own key.
    press(KEY_COMMA, ',');
    run_frames(3);
    press(KEY_STOP, '.');
    run_frames(3);
    EXPECT_EQ(held_keys(), keys_of({symbol_shift, {7, 3}, {7, 2}}));
    release(KEY_COMMA);
    run_frames(3);
    EXPECT_EQ(held_keys(), keys_of({symbol_shift, {7, 2}}));
    release(KEY_STOP);
    run_frames(3);
    EXPECT_TRUE(held_keys().empty());

    // The host's own key repeat (more presses, one release) changes nothing.
    press(KEY_P, 'p');
    run_frames(2);
    press(KEY_P, 'p');
    run_frames(2);
    release(KEY_P);
    run_frames(3);
    EXPECT_TRUE(held_keys().empty());
}

// Frames in which the P key is seen held, over n frames run with the owed
// counts the main loop gives (owed, owed - 1, ... 1).
int frames_held_in_burst(int owed) {
    int n = 0;
    for (int p = owed; p >= 1; --p) {
        keys_frame(p);
        if (scan(5) & 1) ++n;
    }
    return n;
}

// After a stall the owed frames run back to back; each sees the keys of its
// own moment.
TEST_F(Replay, StalledFramesSeeTheKeysOfTheirMoment) {
    run_frames(5);
    // The main loop stands still for 50 frames; the key goes down after 30
    // and up after 40 of them, and the timer counts every frame.
    for (int i = 1; i <= 50; ++i) {
        fake_now += frame;
        note_frame_tick();
        if (i == 30) press(KEY_P, 'p');
        if (i == 40) release(KEY_P);
    }
    EXPECT_NEAR(frames_held_in_burst(50), 10, 1);
    run_frames(3);
    EXPECT_EQ(scan(5), 0);

    // The same, but the loop runs first, before the timer's thread has
    // counted the stall: the frames it has not counted yet are in the past.
    const int64_t stall_start = fake_now;
    fake_now += 50 * frame;
    record_key_change(stall_start + 30 * frame, KEY_P, true);
    record_key_character(KEY_P, 'p');
    record_key_change(stall_start + 40 * frame, KEY_P, false);
    int n = frames_held_in_burst(1);
    note_frame_tick();
    n += frames_held_in_burst(50);
    EXPECT_NEAR(n, 10, 1);
}

// Changes that arrive together after a stall (the input thread stood still
// as well) are each seen, in order, a few frames apart.
TEST_F(Replay, ChangesArrivingTogetherAreSpreadOut) {
    run_frames(5);
    fake_now += 50 * frame;
    note_frame_tick();
    for (int code : {int(KEY_A), int(KEY_S)}) {
        record_key_change(fake_now, code, true);
        record_key_character(code, code == KEY_A ? 'a' : 's');
        record_key_change(fake_now, code, false);
    }
    std::string seen;
    for (int p = 50; p >= 1; --p) {
        keys_frame(p);
        seen += (scan(1) & 1) ? 'a' : (scan(1) & 2) ? 's' : '.';
    }
    for (int i = 0; i < 20; ++i) {
        run_frames(1);
        seen += (scan(1) & 1) ? 'a' : (scan(1) & 2) ? 's' : '.';
    }
    // Each at least two frames, never both at once, 'a' before 's'.
    const size_t a = seen.find("aa"), s = seen.find("ss");
    ASSERT_NE(a, std::string::npos) << seen;
    ASSERT_NE(s, std::string::npos) << seen;
    EXPECT_LT(a, s) << seen;
    EXPECT_EQ(seen.find_first_not_of(".as"), std::string::npos);
    EXPECT_EQ(seen.find("a", s), std::string::npos) << seen;
}

// On a quiet machine a key held k frames is seen k frames.
TEST_F(Replay, HeldFramesMatchRealTime) {
    for (int k : {1, 2, 5, 20, 60}) {
        SCOPED_TRACE("held " + std::to_string(k));
        run_frames(10);
        press(KEY_P, 'p');
        int n = 0;
        for (int i = 0; i < k; ++i) {
            run_frames(1);
            if (scan(5) & 1) ++n;
        }
        release(KEY_P);
        for (int i = 0; i < 10; ++i) {
            run_frames(1);
            if (scan(5) & 1) ++n;
        }
        EXPECT_NEAR(n, std::max(k, 2), 1);
    }
}

}  // namespace
