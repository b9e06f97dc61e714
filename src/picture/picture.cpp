// Screenshots and power saving.
#include "picture/picture.h"

#include <allegro.h>
#include <loadpng.h>
#include <semaphore.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "beam/beam.h"
#include "files/files.h"
#include "log/log.h"
#include "screen/screen.h"
#include "tape/tape.h"
#include "ula/ula.h"
#include "z80/z80.h"

std::atomic<int32_t> power_saving{0};
std::atomic<int32_t> paused{0};

namespace {

// Posted by the timer on every tick while power saving is on.
struct tick_semaphore {
    sem_t sem;
    tick_semaphore() { sem_init(&sem, 0, 0); }
    ~tick_semaphore() { sem_destroy(&sem); }
} ticks;

// Longest wait for a tick: the timer's period is 20 ms, so this is only
// reached when the timer has stopped (it never is while the program runs).
constexpr long longest_wait_ns = 100'000'000;

}  // namespace

bool tick_wait(long limit_ns) {
    timespec until;
    clock_gettime(CLOCK_REALTIME, &until);
    until.tv_sec += limit_ns / 1'000'000'000;
    until.tv_nsec += limit_ns % 1'000'000'000;
    if (until.tv_nsec >= 1'000'000'000) {
        until.tv_nsec -= 1'000'000'000;
        ++until.tv_sec;
    }
    for (;;) {
        if (sem_timedwait(&ticks.sem, &until) == 0) return true;
        if (errno != EINTR) return false;
    }
}

bool (*wait_for_tick)(long limit_ns) = tick_wait;

void power_tick() {
    if (power_saving.load(std::memory_order_relaxed) || paused.load(std::memory_order_relaxed)) sem_post(&ticks.sem);
}

void drop_ticks() {
    while (sem_trywait(&ticks.sem) == 0) {
    }
}

void idle_until_tick() {
    // Ticks posted before this point are counted in the frames owed already.
    drop_ticks();
    wait_for_tick(longest_wait_ns);
}

void power_idle(int32_t frames_owed) {
    if (!power_saving.load(std::memory_order_relaxed)) return;
    if (frames_owed > 0) return;
    if (display.use_dsquares && std::memchr(dsquare, 1, squares)) return;
    idle_until_tick();
}

void toggle_power_saving() {
    power_saving ^= 1;
    write_to_log("Power saving %s.", power_saving ? "on" : "off");
}

namespace {

// A copy of the picture as the screen shows it (with the Spectrum's border
// when it is shown, without the full screen's black margin), or none when
// there is no screen or no memory.
BITMAP *copy_of_picture(std::string &reason) {
    if (!screen) {
        reason = "There is no picture to save.";
        return nullptr;
    }
    const int s = display.scale;
    const int w = shown_width() * s, h = shown_height() * s;
    int xoff = 0, yoff = 0;
    if (display.fullscreen == 1) {
        xoff = (SCREEN_W - w) / 2;
        yoff = (SCREEN_H - h) / 2;
    }
    BITMAP *copy = create_bitmap(w, h);
    if (!copy) {
        reason = "There is not enough memory for the picture.";
        return nullptr;
    }
    acquire_screen();
    blit(screen, copy, xoff, yoff, 0, 0, w, h);
    release_screen();
    return copy;
}

// Writes the picture through one of the atomic path writers.
template <typename Write>
bool save_picture(Write write, std::string &reason) {
    BITMAP *copy = copy_of_picture(reason);
    if (!copy) return false;
    const bool written = write([&](const std::string &temporary) { return save_png(temporary.c_str(), copy, pal) == 0; });
    destroy_bitmap(copy);
    return written;
}

}  // namespace

bool write_screenshot(const std::string &path, std::string &reason) {
    return save_picture([&](const path_writer &png) { return write_path_atomically(path, png, reason); }, reason);
}

void take_screenshot() {
    auto name = [](int k) {
        char text[32];
        std::snprintf(text, sizeof text, "brenvik-%04d.png", k);
        return std::string(text);
    };
    std::string chosen, reason;
    if (save_picture([&](const path_writer &png) { return write_new_file_atomically(".", name, png, chosen, reason); },
                     reason))
        write_to_log("Screenshot %s.", chosen.c_str());
    else
        write_to_log("Screenshot not written: %s", reason.c_str());
}

int screenshot_after_frames(const std::string &path, long frames) {
    for (long i = 0; i < frames; ++i) {
        execz80();
        intreq = 1;
        tape_frame();  // the deck, auto-play and the typing go on as in the main loop
    }
    // The FLASH phase as the frames counted it, not as the timer has.
    flashon = int32_t((frames / 16) & 1);
    fill_dsquares();
    drawbuffer();
    drawscr();
    std::string reason;
    if (!write_screenshot(path, reason)) {
        write_to_log("Screenshot not written: %s", reason.c_str());
        std::fprintf(stderr, "brenvik: cannot write the screenshot %s: %s\n", printable(path).c_str(),
                     printable(reason).c_str());
        return 1;
    }
    write_to_log("Screenshot %s.", path.c_str());
    return 0;
}
