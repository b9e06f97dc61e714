// The machine shell: the frame timer, the window title, the hot keys and one
// pass of the main loop.
#pragma once

#include <atomic>
#include <cstdint>

// The frame timer record, shared between the timer callback and the main loop.
struct tick_record {
    std::atomic<int32_t> pending;  // timer ticks not yet run as emulated frames
    std::atomic<int32_t> ticks;    // timer ticks counted in the current second, 0..49
    std::atomic<int32_t> frames;   // main-loop passes (redraws) in the current second
    std::atomic<int32_t> fps;      // frames of the last completed second: the title's number
};
extern tick_record tick;

struct emulator_record {
    std::atomic<int32_t> quit;  // 1 once the user has asked to quit
};
extern emulator_record emulator;

// The status the program ends with: 0, or 1 when the display was lost.
extern int exit_status;

// 50.008 calls a second: 23860 ticks of the 1193181 Hz timer clock.
constexpr long frame_timer_period = 23860;

void setup_tick();
// Timer callback: one owed frame per call; every 50th call closes a second.
void ticky();
// Window close button callback: asks the main loop to end.
void closed_window();

// Sets the mode asked for on the command line, as the hot keys set a mode
// (with the same fallbacks); the window first opens at scale 1.
void set_start_mode(int scale, int fullscreen);
// Rewrites the window title when the timer has closed a second since the last call.
void update_title();
// Rewrites it now: "Brenvik : 50 fps", "Brenvik", "Brenvik - paused", with the tape's position.
void show_title();
// Polls every hot key once, in the table's order, and the right mouse
// button. True when an action was taken.
bool poll_hotkeys();
// One pass of the main loop: title, hot keys, the owed frames, one redraw.
void run_pass();
// The pass while paused: the title, the hot keys and the menu, a redraw
// only when an action changed the picture, then a wait for the timer's tick.
void paused_pass();

// True once, after the key has been pressed and let go again. While it is
// held nothing else runs: no frame, no redraw. False, with the key's action
// not taken, when the wait is given up (hotkey_wait).
bool released(int k);

// Called while an on-release hot key is held, until it reads up; false gives
// the wait up. Yields the processor by default; the program's own gives up
// on a stop signal, and tests replace it.
extern bool (*hotkey_wait)();
