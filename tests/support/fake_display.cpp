#include "fake_display.h"

#include "allegro_headless.h"
#include "ula/ula.h"

std::set<std::tuple<bool, int, int>> accepted_modes;
std::vector<mode_call> mode_calls;

std::string to_string(const mode_call &c) {
    return std::string(c.fullscreen ? "full " : "window ") + std::to_string(c.w) + "x" + std::to_string(c.h);
}

namespace {
GFX_DRIVER sized_driver;

void drop_screen() {
    if (screen) destroy_bitmap(screen);
    screen = nullptr;
}
}  // namespace

int fake_set_mode(int card, int w, int h, int, int) {
    const bool full = card == GFX_AUTODETECT_FULLSCREEN;
    mode_calls.push_back({full, w, h});
    drop_screen();
    if (!accepted_modes.count({full, w, h})) return -1;
    screen = create_bitmap(w, h);
    return 0;
}

void fake_display(int w, int h) {
    allegro_headless();
    if (!emulated_screen) emulated_screen = create_bitmap(buffer_width, buffer_height);
    if (!scaled_buffer) scaled_buffer = create_bitmap(buffer_width, buffer_height);
    set_mode = fake_set_mode;
    accepted_modes.clear();
    mode_calls.clear();
    no_driver();
    drop_screen();
    if (w) screen = create_bitmap(w, h);
}

void fake_driver(int w, int h) {
    sized_driver = GFX_DRIVER{};
    sized_driver.w = w;
    sized_driver.h = h;
    gfx_driver = &sized_driver;
}

void no_driver() { gfx_driver = nullptr; }
