// The picture as the user keeps it, and the loop's rest: screenshots of what
// the window shows, and power saving, where a main-loop pass with nothing to
// do waits for the frame timer instead of spinning.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// ---- Power saving ----

// 1 while power saving is on (off unless --power-save; Scroll Lock toggles it).
extern std::atomic<int32_t> power_saving;
// 1 while the machine is paused (the Pause key): the loop then only waits
// for ticks, polls the hot keys and redraws what they changed.
extern std::atomic<int32_t> paused;
// From the frame timer's callback, after it has counted the tick: wakes a
// waiting pass (while power saving is on or the machine is paused). Safe in
// the timer's context (a semaphore post).
void power_tick();
// Forgets the ticks posted so far, then waits for the next one (at most
// 100 ms: the timer's period is 20 ms, so that limit is only reached when
// the timer has stopped).
void idle_until_tick();
// The wait itself: true when a tick came within limit_ns, false when the
// limit was reached. sem_timedwait on the tick semaphore by default; tests
// replace it to see whether a pass waits.
extern bool (*wait_for_tick)(long limit_ns);
bool tick_wait(long limit_ns);
// Forgets the ticks posted so far.
void drop_ticks();
// At the start of a pass: with power saving on, no frame owed and no cell
// marked for redrawing (or the whole picture redrawn every pass anyway), waits
// until the timer's next tick (idle_until_tick). Returns at once otherwise.
void power_idle(int32_t frames_owed);
// Turns power saving on or off and logs it.
void toggle_power_saving();

// ---- Screenshots ----

// The picture as the window shows it (enlarged and smoothed at the current
// scale, without the full screen's border) as a PNG at path, written
// atomically. Returns false with the reason.
bool write_screenshot(const std::string &path, std::string &reason);
// Writes the picture as a new brenvik-NNNN.png in the working directory,
// never replacing an earlier one, and logs the name (or why it failed).
void take_screenshot();
// For --screenshot: runs the machine for the given frames without pacing,
// draws the whole picture and writes it to path. Returns the exit status:
// 0, or 1 (with a message) when the file could not be written.
int screenshot_after_frames(const std::string &path, long frames);
