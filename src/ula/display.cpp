// Display start-up and modes, the FLASH timer and the whole-picture
// dirty-square operations.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "beam/beam.h"
#include "log/log.h"
#include "screen/screen.h"
#include "ula/ula.h"

// Full-screen resolution for each scale. A window is always 256s x 192s (with
// the border 320s x 240s); the full screen is the smallest common resolution
// that holds it.
const int fullscreen_width[6] = {0, 640, 640, 800, 1024, 1280};
const int fullscreen_height[6] = {0, 480, 480, 600, 768, 1024};
int (*set_mode)(int, int, int, int, int) = set_gfx_mode;

namespace {

// The full-screen mode of the table for scale n, by what is shown.
int mode_width(int n) { return border_shown ? framed_fullscreen_width[n] : fullscreen_width[n]; }
int mode_height(int n) { return border_shown ? framed_fullscreen_height[n] : fullscreen_height[n]; }

// One attempt at a full-screen mode of the table, with its log line.
bool try_fullscreen(int n) {
    write_to_log("trying to set screen: %d x %d", mode_width(n), mode_height(n));
    return set_mode(GFX_AUTODETECT_FULLSCREEN, mode_width(n), mode_height(n), 0, 0) == 0;
}

// One attempt at a window for scale, falling back to the full-screen mode
// for n. Only the window attempt is logged.
bool try_window(int scale, int n) {
    write_to_log("trying to set window size: %d x %d", shown_width() * scale, shown_height() * scale);
    if (set_mode(GFX_AUTODETECT_WINDOWED, shown_width() * scale, shown_height() * scale, 0, 0) == 0)
        return true;
    return set_mode(GFX_AUTODETECT_FULLSCREEN, mode_width(n), mode_height(n), 0, 0) == 0;
}

void no_display(const char *why) {
    std::fprintf(stderr, "brenvik: no display could be opened: %s%s%s%s.\n", why,
                 allegro_error[0] ? " (" : "", allegro_error, allegro_error[0] ? ")" : "");
    std::fprintf(stderr, "brenvik: it runs in a window on an X display; check that DISPLAY is set.\n");
}

bool mode_already_set(int n, int scale, int fullscreen) {
    // The comparison is with the full-screen resolution even for a window, so
    // a window matches only at scale 4 (1024 x 768); other windows are set again.
    return screen && screen->w == mode_width(n) && screen->h == mode_height(n) &&
           fullscreen == display.fullscreen && n == scale;
}

}  // namespace

bool initula() {
    if (install_allegro(SYSTEM_AUTODETECT, &errno, std::atexit) != 0) {
        no_display("the Allegro library found no system to run on");
        return false;
    }
    // The first window is set directly and not logged (the log opens later).
    if (set_mode(GFX_AUTODETECT_WINDOWED, shown_width(), shown_height(), 0, 0) != 0) {
        no_display(border_shown ? "a 320 x 240 window was refused" : "a 256 x 192 window was refused");
        return false;
    }
    display.fullscreen = 0;
    setup_colour_priorities();

    emulated_screen = create_bitmap(buffer_width, buffer_height);
    scaled_buffer = create_bitmap(buffer_width, buffer_height);
    if (!emulated_screen || !scaled_buffer) {
        std::fprintf(stderr, "brenvik: out of memory for the %d x %d picture buffers.\n", buffer_width,
                     buffer_height);
        return false;
    }
    clear_bitmap(scaled_buffer);
    clear_bitmap(emulated_screen);

    build_colour_tables();
    set_palette(pal);

    install_timer();
    // 596500 ticks of the 1193181 Hz timer clock: just under half a second.
    install_int_ex(flashint, 596500);

    // Without a sound card Allegro still comes up; the beeper stream copes
    // with a sound system that is missing.
    install_sound(DIGI_AUTODETECT, MIDI_NONE, nullptr);
    if (soundon) start_sound_stream();
    return true;
}

bool updatemode(int scale, int fullscreen) {
    // The tables have entries for 1..5 only.
    if (scale < 1) scale = 1;
    if (scale > 5) scale = 5;
    const int old_scale = display.scale;
    const int old_fullscreen = display.fullscreen;

    int n = scale;
    while (n != 0) {
        if (mode_already_set(n, scale, fullscreen)) break;
        if (fullscreen ? try_fullscreen(n) : try_window(scale, n)) break;
        --n;
    }

    bool ok = n != 0;
    if (!ok) {
        // Not a single mode could be set, and the old one is gone with the
        // first attempt: go back to the mode we had rather than run on
        // without a screen.
        fullscreen = old_fullscreen;
        n = old_scale;
        bool restored = (old_scale >= 1 && old_scale <= 5) &&
                        (old_fullscreen ? try_fullscreen(n) : try_window(n, n));
        if (!restored) {
            std::fprintf(stderr, "brenvik: no display mode could be set, not even the previous one.\n");
            display.fullscreen = old_fullscreen;
            display.scale = old_scale;
            return false;
        }
    }

    display.fullscreen = fullscreen;
    display.scale = n;

    // A new mode needs the palette again; everything is drawn afresh.
    set_palette(pal);
    clear_bitmap(emulated_screen);
    clear_bitmap(scaled_buffer);
    if (screen) clear_bitmap(screen);
    fill_dsquares();
    return ok;
}

void flashint() { flashon.fetch_xor(1, std::memory_order_relaxed); }

void clear_dsquares() { std::memset(dsquare, 0, sizeof dsquare); }

void fill_dsquares() {
    std::memset(dsquare, 1, sizeof dsquare);
    redraw_border();
}
