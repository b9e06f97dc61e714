// The rewind history's costs: keeping a state once a second against the
// emulated frames it is spread over, the history's size after ten minutes of
// a program that rewrites the whole screen every frame, and going back one
// second with the picture redrawn whole.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "bench_machine.h"
#include "state/state.h"
#include "tape/tape.h"
#include "ula/ula.h"
#include "z80/z80.h"

namespace {

constexpr int screen_bytes = 6912;

// The program that rewrites the screen: every frame, all of the pixels and
// attributes get new bytes (a noise no difference can shorten), while the
// ROM runs its idle loop.
struct screen_writer {
    std::mt19937 random{48};
    std::vector<uint8_t> noise = std::vector<uint8_t>(1 << 20);
    std::size_t at = 0;
    screen_writer() {
        for (uint8_t &b : noise) b = uint8_t(random());
    }
    void frame() {
        if (at + screen_bytes > noise.size()) at = 0;
        std::memcpy(ram + 0x4000, noise.data() + at, screen_bytes);
        at += 4093;  // a new stretch of the noise each frame
        execz80();
        intreq = 1;
        tape_frame();
    }
};

// Frames of the screen-rewriting program; with a history, a state is kept
// every 50th frame, as the main loop keeps one a second.
void frames_with_history(benchmark::State &state, int history) {
    idle_machine();
    set_history_length(history);
    screen_writer w;
    int64_t frame = 0;
    for (auto _ : state) {
        w.frame();
        if (++frame % 50 == 0 && history) keep_state(frame);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["history_KB"] = double(history_bytes()) / 1024;
    set_history_length(0);
}

void BM_FrameWithoutHistory(benchmark::State &state) { frames_with_history(state, 0); }
BENCHMARK(BM_FrameWithoutHistory)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

void BM_FrameKeepingStateEachSecond(benchmark::State &state) { frames_with_history(state, 60); }
BENCHMARK(BM_FrameKeepingStateEachSecond)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

// Keeping one state alone, its screen rewritten in between: its time divided
// by 50 is what each frame pays, to set against BM_FrameWithoutHistory.
void BM_KeepOneState(benchmark::State &state) {
    idle_machine();
    set_history_length(60);
    screen_writer w;
    int64_t frame = 0;
    for (auto _ : state) {
        state.PauseTiming();
        w.frame();
        state.ResumeTiming();
        keep_state(++frame);
    }
    set_history_length(0);
}
BENCHMARK(BM_KeepOneState)->Unit(benchmark::kMicrosecond);

// Ten minutes of the program (30000 frames, 600 states kept): the history's bytes.
void BM_HistoryAfterTenMinutes(benchmark::State &state) {
    idle_machine();
    for (auto _ : state) {
        set_history_length(60);
        screen_writer w;
        for (int64_t frame = 1; frame <= 30000; ++frame) {
            w.frame();
            if (frame % 50 == 0) keep_state(frame);
        }
    }
    state.counters["states"] = history_count();
    state.counters["history_MB"] = double(history_bytes()) / (1 << 20);
    set_history_length(0);
}
BENCHMARK(BM_HistoryAfterTenMinutes)->Iterations(1)->Unit(benchmark::kMillisecond);

// Delete pressed: one second back, the machine put there and the whole
// picture decoded, enlarged and presented at the scale given.
void BM_BackOneSecondAndShow(benchmark::State &state) {
    window_at(int(state.range(0)), true);
    screen_writer w;
    auto fill = [&] {
        set_history_length(60);
        for (int64_t frame = 1; frame <= 60 * 50; ++frame) {
            w.frame();
            if (frame % 50 == 0) keep_state(frame);
        }
        history_back();  // the newest: the moment Delete is pressed
    };
    fill();
    for (auto _ : state) {
        if (!history_back()) {
            state.PauseTiming();
            fill();
            state.ResumeTiming();
            history_back();
        }
        drawbuffer();
        drawscr();
    }
    set_history_length(0);
}
BENCHMARK(BM_BackOneSecondAndShow)->DenseRange(1, 5)->Unit(benchmark::kMillisecond);

}  // namespace
