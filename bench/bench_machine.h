// The machine the benchmarks run: processor tables, dirty squares and the
// default ROM; for the renderer, the booted ROM on a memory screen.
#pragma once

#include <allegro.h>
#include <benchmark/benchmark.h>

#include <cerrno>
#include <cstdlib>

#include <string>

#include "beam/beam.h"
#include "screen/screen.h"
#include "ula/ula.h"
#include "z80/z80.h"

// Sets the machine up with the default ROM; false (the benchmark marked as
// failed with the reason) when the ROM cannot be read.
inline bool default_rom_machine(benchmark::State &state) {
    initz80();
    build_dsquare_table();
    std::string error;
    if (loadrom_file(BRENVIK_DEFAULT_ROM, error)) return true;
    state.SkipWithError(error.c_str());
    return false;
}

// Boots the ROM once and sets up the display state the renderer needs.
inline void idle_machine() {
    static bool ready = false;
    if (ready) return;
    install_allegro(SYSTEM_NONE, &errno, atexit);
    set_color_depth(8);
    initz80();
    if (!loadroms()) std::exit(1);
    resetz80();
    build_dsquare_table();
    setup_colour_priorities();
    build_colour_tables();
    soundon = 0;
    for (int i = 0; i < 300; ++i) {  // six seconds: well past the start-up screen
        execz80();
        intreq = 1;
    }
    emulated_screen = create_bitmap(buffer_width, buffer_height);
    scaled_buffer = create_bitmap(buffer_width, buffer_height);
    ready = true;
}

// A memory screen the size of the window at the given scale.
inline void window_at(int scale, bool dirty_squares, bool border = false) {
    idle_machine();
    border_shown = border;
    if (screen) destroy_bitmap(screen);
    screen = create_bitmap(shown_width() * scale, shown_height() * scale);
    clear_bitmap(screen);
    clear_bitmap(emulated_screen);
    clear_bitmap(scaled_buffer);
    display.scale = scale;
    display.fullscreen = 0;
    display.fine_dither = 1;
    display.use_dsquares = dirty_squares;
    fill_dsquares();
    drawbuffer();
    drawscr();
}
