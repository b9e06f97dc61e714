// Redraws per second (the number the window title shows, when nothing else
// limits the loop), measured headless on a memory screen with the ROM's
// idle start-up screen in screen memory.
#include <allegro.h>
#include <benchmark/benchmark.h>

#include <cerrno>
#include <cstdlib>

#include "beam/beam.h"
#include "screen/screen.h"
#include "tape/tape.h"
#include "ula/ula.h"
#include "z80/z80.h"

namespace {

// Boots the ROM once and sets up the display state the renderer needs.
void idle_machine() {
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
void window_at(int scale, bool dirty_squares, bool border = false) {
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

void report(benchmark::State &state) {
    state.SetItemsProcessed(state.iterations());
    state.counters["redraws/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// Dirty squares off (F3): every pass decodes, enlarges and presents the whole picture.
void BM_RedrawWholePicture(benchmark::State &state) {
    window_at(int(state.range(0)), false);
    for (auto _ : state) {
        drawbuffer();
        drawscr();
    }
    report(state);
}
BENCHMARK(BM_RedrawWholePicture)->DenseRange(1, 5)->Unit(benchmark::kMicrosecond);

// Dirty squares on and the ROM idle: only flashing cells (none here) are redrawn.
void BM_RedrawIdleScreen(benchmark::State &state) {
    window_at(int(state.range(0)), true);
    for (auto _ : state) {
        drawbuffer();
        drawscr();
    }
    report(state);
}
BENCHMARK(BM_RedrawIdleScreen)->DenseRange(1, 5)->Unit(benchmark::kMicrosecond);

// Dirty squares on and every cell marked, as after a mode change or a snapshot load.
void BM_RedrawAllMarked(benchmark::State &state) {
    window_at(int(state.range(0)), true);
    for (auto _ : state) {
        fill_dsquares();
        drawbuffer();
        drawscr();
    }
    report(state);
}
BENCHMARK(BM_RedrawAllMarked)->DenseRange(1, 5)->Unit(benchmark::kMicrosecond);

// Dirty squares on and one cell (row 10, column 12) written each pass, as
// when the ROM prints a character: decode, enlarge and present that cell.
void BM_RedrawOneCell(benchmark::State &state) {
    window_at(int(state.range(0)), true);
    for (auto _ : state) {
        dsquare[10 * 32 + 12] = 1;
        drawbuffer();
        drawscr();
    }
    report(state);
}
BENCHMARK(BM_RedrawOneCell)->DenseRange(1, 5)->Unit(benchmark::kMicrosecond);

// The border shown and the ROM idle: each pass lays the frame's colour
// changes (none) along the border and finds nothing to draw.
void BM_RedrawIdleWithBorder(benchmark::State &state) {
    window_at(int(state.range(0)), true, true);
    for (auto _ : state) {
        drawbuffer();
        drawscr();
    }
    border_shown = 0;
    report(state);
}
BENCHMARK(BM_RedrawIdleWithBorder)->DenseRange(1, 5)->Unit(benchmark::kMicrosecond);

// Loading stripes: a frame of 1000 border changes (a new colour every 70
// T-states, moving from frame to frame) before each pass, so nearly every
// border line is drawn again.
void BM_RedrawLoadingStripes(benchmark::State &state) {
    window_at(int(state.range(0)), true, true);
    int shift = 0;
    for (auto _ : state) {
        line_clock = 0;
        beam_frame_start();
        line_clock = tstates_per_frame;
        shift = (shift + 17) % 70;
        for (int i = 0; i < 1000; ++i) {
            cycles = tstates_per_frame - (shift + 70 * i);
            writeula(uint8_t(i & 1 ? 1 : 6));
        }
        drawbuffer();
        drawscr();
    }
    border_shown = 0;
    report(state);
}
BENCHMARK(BM_RedrawLoadingStripes)->DenseRange(1, 5)->Unit(benchmark::kMicrosecond);

}  // namespace
