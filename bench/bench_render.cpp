// Redraws per second (the number the window title shows, when nothing else
// limits the loop), measured headless on a memory screen with the ROM's
// idle start-up screen in screen memory.
#include <benchmark/benchmark.h>

#include "bench_machine.h"
#include "screen/screen.h"
#include "tape/tape.h"
#include "ula/ula.h"
#include "z80/z80.h"

namespace {

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
