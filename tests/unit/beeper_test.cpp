// The band-limited beeper: edges recorded from the port and the scanline
// poll, their steps rendered at the right sample and amplitude, the DC
// blocker's silence, and the queue of the looped voice.
#include <gtest/gtest.h>

#include <allegro.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "allegro_headless.h"
#include "beeper/beeper.h"
#include "tape/tape.h"
#include "ula/ula.h"
#include "z80/z80.h"

namespace {

constexpr int per_frame = 960;  // 48 kHz
constexpr int step_delay = 7;   // samples from an edge to the middle of its step
constexpr int half_width = 8;   // samples from the middle of a step to either end

// One frame's samples.
std::vector<int16_t> render(int samples = per_frame) {
    std::vector<int16_t> out(size_t(samples), 0);
    beeper_render(out.data());
    return out;
}

// Settles the synthesis at the level of port byte `from`, with the frame
// starting at clock 0 and no edges yet.
void settle_at(uint8_t from, int samples = per_frame) {
    beeper_setup(samples);
    beeper_tape_bit = 0;
    beeper_edge_count = 0;
    beeper_record(0, from);
    beeper_line(0, 0, 0, from);  // the unrendered edge sets the level
    beeper_settle();
}

class Beeper : public ::testing::Test {
protected:
    void SetUp() override { hifi_sound = true; }
    void TearDown() override {
        hifi_sound = false;
        beeper_edge_count = 0;
        beeper_tape_bit = 0;
    }
};

// The port records each change of EAR or MIC at the T-state of the OUT
// (line_clock - cycles, from the frame's start); border changes are not
// edges; the scanline poll adds the tape's EAR level at the line's start.
TEST_F(Beeper, EdgesFromThePortAndTheTape) {
    uladat = 0;
    beeper_line(0, 50000, 0, 0);
    line_clock = 50000 + 3 * tstates_per_line;
    cycles = 100;
    writeula(0x10);  // EAR: an edge
    writeula(0x17);  // the border only: none
    cycles = 40;
    writeula(0x18);  // MIC too: an edge
    beeper_line(5, 50000 + 5 * tstates_per_line, 1, uladat);  // the tape's EAR, under the port's: none
    writeula(0x08);  // EAR off, but the tape's EAR still sounds: none
    beeper_line(6, 50000 + 6 * tstates_per_line, 0, uladat);  // the tape low: an edge
    const beeper_edge want[] = {{3 * 224 - 100, 2}, {3 * 224 - 40, 3}, {6 * 224, 1}};
    ASSERT_EQ(beeper_edge_count, 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(beeper_edges[i].t, want[i].t) << "edge " << i;
        EXPECT_EQ(beeper_edges[i].level, want[i].level) << "edge " << i;
    }
    // A new frame drops what was not rendered.
    beeper_line(0, 50000 + tstates_per_frame, 0, uladat);
    EXPECT_EQ(beeper_edge_count, 0);
    EXPECT_EQ(beeper_frame_start, 50000 + tstates_per_frame);
}

// An edge at T-state t is a step centred step_delay samples after sample
// t * 960 / 69888: below half its height before, above after, silent until
// it begins, and the full change of level once it ends (less the DC
// blocker's slow droop). An edge past the frame's end lands in the next.
TEST_F(Beeper, StepAtTheRightSampleWithTheRightAmplitude) {
    struct step_case {
        int32_t t;
        uint8_t from, to;  // port bytes
        double change;     // output levels: EAR 0xF4, MIC 0x18, both 0xFF, x 125
    };
    const step_case cases[] = {
        {1000, 0x00, 0x10, 0xF4 * 125.0},
        {12345, 0x18, 0x08, (0x18 - 0xFF) * 125.0},
        {40001, 0x10, 0x18, (0xFF - 0xF4) * 125.0},
        {69000, 0x00, 0x08, 0x18 * 125.0},
        {69887 + 150, 0x00, 0x10, 0xF4 * 125.0},  // past the frame's end
    };
    for (const step_case &c : cases) {
        settle_at(c.from);
        beeper_record(c.t, c.to);
        std::vector<int16_t> out = render();
        const std::vector<int16_t> next = render();
        out.insert(out.end(), next.begin(), next.end());
        const double at = double(c.t) * per_frame / tstates_per_frame + step_delay;
        const std::string what = "edge at T-state " + std::to_string(c.t);
        for (int m = 0; m < int(out.size()); ++m) {
            if (m < at - half_width) {
                ASSERT_EQ(out[size_t(m)], 0) << what << ", sample " << m;
            }
            if (m < at - 0.2 && m > at - 2) {
                EXPECT_LT(std::abs(out[size_t(m)]), std::abs(c.change) / 2) << what << ", sample " << m;
            }
            if (m > at + 0.2 && m < at + 2) {
                EXPECT_GT(std::abs(out[size_t(m)]), std::abs(c.change) / 2) << what << ", sample " << m;
            }
            if (m > at + half_width && m < at + half_width + 4) {
                EXPECT_NEAR(out[size_t(m)], c.change, std::abs(c.change) * 0.02) << what << ", sample " << m;
            }
        }
    }
}

// Edges together sound as the sum of each alone: two in one sample, a
// run of them a few samples apart, some near a frame's end whose steps
// reach into the next frame, and some in later frames; at 48 kHz and at
// 44.1 kHz, whose frame is not a whole number of eights of samples. Each
// alone starts from silence at the level before it, so the changes of
// level match. The edges flip MIC, whose small swing keeps every sound
// clear of clipping.
TEST_F(Beeper, EdgesTogetherAddUp) {
    struct timed {
        int frame;
        int32_t t;
    };
    const timed edges[] = {{0, 500},   {0, 530},   {0, 1200},  {0, 1290},  {0, 1400},  {0, 1510}, {0, 30000},
                           {0, 69700}, {0, 69850}, {1, 10},    {1, 100},   {1, 69887}, {2, 5},    {2, 40000}};
    constexpr int frames = 4;
    for (const int samples : {per_frame, 882}) {
        const auto play = [samples](const timed *from, const timed *to, uint8_t first) {
            settle_at(first, samples);
            std::vector<int16_t> sound;
            uint8_t level = first;
            for (int frame = 0; frame < frames; ++frame) {
                for (const timed *e = from; e != to; ++e)
                    if (e->frame == frame) beeper_record(e->t, level ^= 0x08);
                const std::vector<int16_t> out = render(samples);
                sound.insert(sound.end(), out.begin(), out.end());
            }
            return sound;
        };
        const std::vector<int16_t> together = play(std::begin(edges), std::end(edges), 0x00);
        std::vector<int> sum(together.size(), 0);
        for (size_t k = 0; k < std::size(edges); ++k) {
            const std::vector<int16_t> alone = play(&edges[k], &edges[k] + 1, k % 2 ? 0x08 : 0x00);
            for (size_t m = 0; m < sum.size(); ++m) sum[m] += alone[m];
        }
        // Each sound alone is rounded once: the sum may stray by half a step each.
        for (size_t m = 0; m < sum.size(); ++m)
            ASSERT_NEAR(together[m], sum[m], 0.5 * std::size(edges)) << samples << " samples a frame, sample " << m;
    }
}

// A held level, whatever it is, ends as exact zero: the DC blocker settles
// within half a second and stays there.
TEST_F(Beeper, HeldLevelSettlesToSilence) {
    for (uint8_t level : {0x08, 0x10, 0x18}) {
        settle_at(0x00);
        beeper_record(2000, level);
        EXPECT_NE(render()[100], 0) << "the step was not heard";
        for (int f = 1; f < 25; ++f) render();
        for (int f = 0; f < 50; ++f) {
            const std::vector<int16_t> out = render();
            for (int m = 0; m < per_frame; ++m) ASSERT_EQ(out[size_t(m)], 0) << "frame " << f << ", sample " << m;
        }
    }
}

// The looped voice's queue, with the play position given as the voice would
// report it: it starts two frames ahead and holds at most four; frames that
// come while it is full are dropped (caught up after a stall); when the
// voice has played past the sound written (the stall itself) writing starts
// again two frames ahead of it. Stopping clears it.
TEST(BeeperStream, QueueFollowsThePlayPosition) {
    allegro_headless();
    stop_beeper_stream();
    EXPECT_EQ(beeper_queued(), -1);
    ASSERT_EQ(install_sound(DIGI_AUTODETECT, MIDI_NONE, nullptr), 0);
    start_beeper_stream();
    const int n = beeper_samples_per_frame();
    ASSERT_GT(n, 0);
    ASSERT_EQ(beeper_queued(), 2 * n);
    struct step {
        int position;
        int queued;
    };
    const step steps[] = {
        {0, 3 * n},          // a frame
        {0, 4 * n},          // a frame caught up
        {0, 4 * n},          // full: dropped
        {n, 4 * n},          // the voice played a frame, the next one fits
        {2 * n, 4 * n},
        {10 * n, 3 * n},     // a stall: the voice ran past into silence
        {11 * n, 3 * n},
        {48 * n, 3 * n},     // a stall again, near the end of the one-second loop
        {49 * n, 3 * n},     // the writing wraps to the loop's start
        {10, 3 * n - 10},    // and so does the voice
    };
    for (const step &s : steps) {
        beeper_queue_frame(s.position);
        EXPECT_EQ(beeper_queued(), s.queued) << "position " << s.position;
    }
    stop_beeper_stream();
    EXPECT_EQ(beeper_queued(), -1);
    beeper_mixsound();  // no voice: nothing happens
    remove_sound();
}

}  // namespace
