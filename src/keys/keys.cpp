// Host key changes, time-stamped where Allegro reports them and replayed to
// the keyboard matrix frame by frame; and the symbols typed by character.
//
// Allegro's input thread calls the low-level callback for every key change
// (Allegro's scancode, bit 7 set on release) and, for a key press that is not
// a modifier, the Unicode callback right after it with the character the host
// layout made of the press. A press therefore waits in the queue, not yet
// ready, until its character has come, so that a frame never sees the bare
// key first and its symbol one frame later. A press whose character never
// comes (a dead key, a key the input method swallowed) is taken without one
// after char_wait.
#include "keys/keys.h"

#include <allegro.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

namespace {

// One frame of the 50.008 Hz frame timer.
constexpr int64_t frame_us = 19997;
// How long a press waits for its character.
constexpr int64_t char_wait_us = 40000;
// Changes closer together than this were not typed that fast: they were
// queued while the program stood still and arrive in one batch. Replayed
// back to back they would fall into one frame, and the ROM, which reads the
// keyboard once a frame, would miss them; they are spread batch_spacing
// frames apart instead, enough for the ROM to take each in turn.
constexpr int64_t batch_us = 5000;
constexpr int64_t batch_spacing = 3;
// A press is seen for at least this many frames before its release.
constexpr int64_t min_hold = 2;

// Characters the Spectrum types with SYMBOL SHIFT, and the key that has each
// on its legend.
struct symbol {
    int ch;
    matrix_key key;
};
constexpr symbol symbols[] = {
    {'!', {3, 0}},  {'@', {3, 1}},  {'#', {3, 2}},   {'$', {3, 3}},  {'%', {3, 4}},  // 1..5
    {'_', {4, 0}},  {')', {4, 1}},  {'(', {4, 2}},   {'\'', {4, 3}}, {'&', {4, 4}},  // 0 9 8 7 6
    {'<', {2, 3}},  {'>', {2, 4}},                                                   // R T
    {'"', {5, 0}},  {';', {5, 1}},                                                   // P O
    {'=', {6, 1}},  {'+', {6, 2}},  {'-', {6, 3}},   {'^', {6, 4}},                  // L K J H
    {':', {0, 1}},  {0xA3, {0, 2}}, {'?', {0, 3}},   {'/', {0, 4}},                  // Z X(£) C V
    {'.', {7, 2}},  {',', {7, 3}},  {'*', {7, 4}},                                   // M N B
};

bool keypad(int code) {
    return (code >= KEY_0_PAD && code <= KEY_9_PAD) ||
           (code >= KEY_SLASH_PAD && code <= KEY_ENTER_PAD) || code == KEY_EQUALS_PAD;
}

// A queued key change.
struct change {
    int64_t time;
    int16_t code;
    bool down;
    bool ready;  // a press: its character has come (or none will)
    int32_t ch;
};

// The queue between Allegro's input thread and the main loop. When it is
// full the change is dropped and the main loop takes the keys as they are.
constexpr int queue_size = 512;
std::mutex queue_lock;
change queue[queue_size];
int queue_head = 0;  // next free slot
int queue_tail = 0;  // oldest change not yet applied
bool overflowed = false;
bool reported_down[KEY_MAX];  // the key as last queued (host repeats are dropped)

// The keys as the emulated machine sees them in the current frame (main loop only).
bool installed = false;
bool held[KEY_MAX];
matrix_key by_character[KEY_MAX];
int64_t changed_in[KEY_MAX];  // frame of the key's last change
int char_rows[8];
int char_keys_held = 0;
// When the frame timer last ticked (written by the timer's thread).
std::atomic<int64_t> last_tick{0};
int64_t frame_number = 0;
int64_t frame_moment = 0;  // the moment the current frame stands for
constexpr int64_t long_ago = INT64_MIN / 2;
int64_t last_change_time = long_ago;
int64_t last_change_frame = 0;

int64_t steady_microseconds() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void lowlevel_callback(int scancode) {
    record_key_change(key_clock(), scancode & 0x7F, !(scancode & 0x80));
}

int character_callback(int ch, int *scancode) {
    record_key_character(*scancode, ch);
    // Nothing goes to Allegro's key buffer, which nothing reads.
    *scancode = 0;
    return 0;
}

void reset_replay() {
    std::lock_guard<std::mutex> guard(queue_lock);
    queue_head = queue_tail = 0;
    overflowed = false;
    std::fill(std::begin(reported_down), std::end(reported_down), false);
    std::fill(std::begin(held), std::end(held), false);
    std::fill(std::begin(by_character), std::end(by_character), no_matrix_key);
    std::fill(std::begin(changed_in), std::end(changed_in), 0);
    std::fill(std::begin(char_rows), std::end(char_rows), 0);
    char_keys_held = 0;
    frame_number = 0;
    frame_moment = 0;
    last_tick = key_clock();
    last_change_time = long_ago;
    last_change_frame = 0;
}

void update_character_rows() {
    std::fill(std::begin(char_rows), std::end(char_rows), 0);
    char_keys_held = 0;
    for (int k = 0; k < KEY_MAX; ++k) {
        const matrix_key m = by_character[k];
        if (!held[k] || m.half_row < 0) continue;
        char_rows[m.half_row] |= 1 << m.bit;
        ++char_keys_held;
    }
    if (char_keys_held) char_rows[symbol_shift_key.half_row] |= 1 << symbol_shift_key.bit;
}

void apply(const change &c) {
    held[c.code] = c.down;
    by_character[c.code] =
        c.down ? key_by_character(c.code, c.ch, held[KEY_LSHIFT], held[KEY_RSHIFT]) : no_matrix_key;
    changed_in[c.code] = frame_number;
    last_change_time = c.time;
    last_change_frame = frame_number;
}

// Whether the oldest queued change may be applied in this frame.
bool due(const change &c, int64_t now) {
    if (!c.ready && now - c.time < char_wait_us) return false;
    if (c.time > frame_moment) return false;
    if (c.time - last_change_time < batch_us && frame_number - last_change_frame < batch_spacing)
        return false;
    if (!c.down && held[c.code] && frame_number - changed_in[c.code] < min_hold) return false;
    return true;
}

// After a dropped change: the keys as Allegro holds them now.
void take_keys_as_they_are() {
    queue_tail = queue_head;
    overflowed = false;
    for (int k = 0; k < KEY_MAX; ++k) {
        held[k] = reported_down[k] = key[k] != 0;
        if (!held[k]) by_character[k] = no_matrix_key;
    }
}

}  // namespace

int64_t (*key_clock)() = steady_microseconds;

matrix_key symbol_key(int ch) {
    for (const symbol &s : symbols)
        if (s.ch == ch) return s.key;
    return no_matrix_key;
}

matrix_key key_by_character(int code, int ch, bool left_shift, bool right_shift) {
    if (keypad(code)) return no_matrix_key;
    if (code >= KEY_0 && code <= KEY_9 && right_shift && !left_shift) return no_matrix_key;
    return symbol_key(ch);
}

void install_key_replay() {
    reset_replay();
    installed = true;
    keyboard_lowlevel_callback = lowlevel_callback;
    keyboard_ucallback = character_callback;
}

void remove_key_replay() {
    keyboard_lowlevel_callback = nullptr;
    keyboard_ucallback = nullptr;
    installed = false;
    reset_replay();
}

void record_key_change(int64_t time, int code, bool down) {
    if (code <= 0 || code >= KEY_MAX) return;
    std::lock_guard<std::mutex> guard(queue_lock);
    if (reported_down[code] == down) return;  // the host's own key repeat
    const int next = (queue_head + 1) % queue_size;
    if (next == queue_tail) {
        overflowed = true;
        return;
    }
    reported_down[code] = down;
    // Modifier keys yield no character; neither does a release.
    queue[queue_head] = change{time, int16_t(code), down, !down || code >= KEY_MODIFIERS, 0};
    queue_head = next;
}

void record_key_character(int code, int ch) {
    std::lock_guard<std::mutex> guard(queue_lock);
    for (int i = queue_head; i != queue_tail;) {
        i = (i + queue_size - 1) % queue_size;
        change &c = queue[i];
        if (c.code != code) continue;
        if (c.down && !c.ready) {
            c.ch = ch;
            c.ready = true;
        }
        return;
    }
}

void note_frame_tick() { last_tick = key_clock(); }

void keys_frame(int owed) {
    if (!installed) return;
    const int64_t now = key_clock();
    // A timer that has not ticked for a while owes more frames than it has
    // counted yet: after a stall the main loop may run before the timer's
    // thread has caught up. Those frames stand for moments in the past too.
    const int64_t since_tick = now - last_tick.load();
    if (since_tick > frame_us) owed += int(since_tick / frame_us);
    frame_moment = std::max(frame_moment, now - (owed - 1) * frame_us);
    ++frame_number;
    std::lock_guard<std::mutex> guard(queue_lock);
    bool changed = overflowed;
    if (overflowed) take_keys_as_they_are();
    while (queue_tail != queue_head && due(queue[queue_tail], now)) {
        const change &c = queue[queue_tail];
        if (held[c.code] != c.down) apply(c);
        queue_tail = (queue_tail + 1) % queue_size;
        changed = true;
    }
    if (changed) update_character_rows();
}

bool host_key_down(int code) {
    if (!installed) return key[code] != 0;
    if (by_character[code].half_row >= 0) return false;
    if ((code == KEY_LSHIFT || code == KEY_RSHIFT) && char_keys_held) return false;
    return held[code];
}

int character_row(int h) { return installed ? char_rows[h] : 0; }
