// Smart enlarge over the whole picture (0, 0, 256, 192) at scales 2 to 5, on
// the test screen and on a picture of random attributes and pixels, with
// bitmaps as large as the emulator's so the edges behave as they do there.
#include <benchmark/benchmark.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "enlarge/enlarge.h"
#include "ula/ula.h"

namespace {

struct Pictures {
    BITMAP *test_screen = nullptr;
    BITMAP *random = nullptr;
    BITMAP *dest = nullptr;
};

void decode(const uint8_t *scr, BITMAP *b) {
    for (int y = 0; y < 192; ++y)
        for (int c = 0; c < 32; ++c) {
            const int offset = ((y & 0xC0) << 5) | ((y & 7) << 8) | ((y & 0x38) << 2) | c;
            const uint8_t pix = scr[offset], a = scr[6144 + (y >> 3) * 32 + c] & 0x7F;
            const uint32_t left = table[pix >> 4] | attrtable[a], right = table[pix & 15] | attrtable[a];
            std::memcpy(b->line[y] + 8 * c, &left, 4);
            std::memcpy(b->line[y] + 8 * c + 4, &right, 4);
        }
}

Pictures &pictures() {
    static Pictures p = [] {
        Pictures q;
        install_allegro(SYSTEM_NONE, &errno, atexit);
        set_color_depth(8);
        setup_colour_priorities();
        build_colour_tables();
        display.fine_dither = 1;

        std::vector<uint8_t> scr(6912, 0);
        if (FILE *f = std::fopen(BRENVIK_TEST_DATA "/testscreen.scr", "rb")) {
            if (std::fread(scr.data(), 1, scr.size(), f) != scr.size())
                std::fprintf(stderr, "bench_enlarge: short test screen\n");
            std::fclose(f);
        } else {
            std::fprintf(stderr, "bench_enlarge: no test screen in %s\n", BRENVIK_TEST_DATA);
        }
        std::mt19937 rng(42);
        std::vector<uint8_t> noise(6912);
        for (auto &b : noise) b = static_cast<uint8_t>(rng());

        q.test_screen = create_bitmap(buffer_width, buffer_height);
        q.random = create_bitmap(buffer_width, buffer_height);
        q.dest = create_bitmap(buffer_width, buffer_height);
        clear_bitmap(q.test_screen);
        clear_bitmap(q.random);
        decode(scr.data(), q.test_screen);
        decode(noise.data(), q.random);
        return q;
    }();
    return p;
}

void run(benchmark::State &state, BITMAP *src) {
    const int n = static_cast<int>(state.range(0));
    BITMAP *dest = pictures().dest;
    stretch_blit(src, dest, 0, 0, 256, 192, 0, 0, 256 * n, 192 * n);
    for (auto _ : state) {
        do_smart_enlarge(src, dest, 0, 0, 256, 192, 0, 0, 256 * n, 192 * n);
        benchmark::ClobberMemory();
    }
}

void BM_SmartEnlargeTestScreen(benchmark::State &state) { run(state, pictures().test_screen); }
void BM_SmartEnlargeRandom(benchmark::State &state) { run(state, pictures().random); }

// One changed character cell (row 10, column 12) with the renderer's
// margins: what most frames ask for, many times over.
void BM_SmartEnlargeRandomCell(benchmark::State &state) {
    const int n = static_cast<int>(state.range(0));
    BITMAP *src = pictures().random, *dest = pictures().dest;
    stretch_blit(src, dest, 0, 0, 256, 192, 0, 0, 256 * n, 192 * n);
    const int x1 = 8 * 12 - 2, y1 = 8 * 10 - 3, x2 = 8 * 13 + 4, y2 = 8 * 11 + 3;
    for (auto _ : state) {
        do_smart_enlarge(src, dest, x1, y1, x2, y2, n * x1, n * y1, n * x2, n * y2);
        benchmark::ClobberMemory();
    }
}

// The same cell as the renderer smooths it now: the plain stretch and the
// scaler over a band along its rows and one along its columns, each as wide
// as the scaler's reach.
void BM_SmartEnlargePartRandomCell(benchmark::State &state) {
    const int n = static_cast<int>(state.range(0));
    BITMAP *src = pictures().random, *dest = pictures().dest;
    const int bands[2][4] = {{8 * 12 - smart_enlarge_reach_along, 8 * 10 - smart_enlarge_reach_across,
                              8 + 2 * smart_enlarge_reach_along, 8 + 2 * smart_enlarge_reach_across},
                             {8 * 12 - smart_enlarge_reach_across, 8 * 10 - smart_enlarge_reach_along,
                              8 + 2 * smart_enlarge_reach_across, 8 + 2 * smart_enlarge_reach_along}};
    for (auto _ : state) {
        for (const auto &b : bands) {
            stretch_blit(src, dest, b[0], b[1], b[2], b[3], n * b[0], n * b[1], n * b[2], n * b[3]);
            smart_enlarge_part(src, dest, 256, 192, n, n * b[0], n * b[1], n * (b[0] + b[2]), n * (b[1] + b[3]));
        }
        benchmark::ClobberMemory();
    }
}

// The renderer's whole-picture redraw: plain stretch, then the scaler.
void BM_StretchAndSmartEnlargeTestScreen(benchmark::State &state) {
    const int n = static_cast<int>(state.range(0));
    BITMAP *src = pictures().test_screen, *dest = pictures().dest;
    for (auto _ : state) {
        stretch_blit(src, dest, 0, 0, 256, 192, 0, 0, 256 * n, 192 * n);
        do_smart_enlarge(src, dest, 0, 0, 256, 192, 0, 0, 256 * n, 192 * n);
        benchmark::ClobberMemory();
    }
}

}  // namespace

BENCHMARK(BM_SmartEnlargeTestScreen)->DenseRange(2, 5)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SmartEnlargeRandom)->DenseRange(2, 5)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SmartEnlargeRandomCell)->DenseRange(2, 5)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SmartEnlargePartRandomCell)->DenseRange(2, 5)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StretchAndSmartEnlargeTestScreen)->DenseRange(2, 5)->Unit(benchmark::kMicrosecond);
