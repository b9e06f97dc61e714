// The beeper: speaker bits sampled once per scanline, a frame's samples
// handed to the audio stream, and the stream's life.
#include <gtest/gtest.h>

#include <allegro.h>

#include <array>
#include <cstring>
#include <vector>

#include "allegro_headless.h"
#include "ula/ula.h"

namespace {

// A stand-in for Allegro's stream buffers: one buffer (with a guard byte
// after it), refused to the first `refusals` requests, and a count of every call.
struct fake_stream {
    int refusals = 0;
    std::array<uint8_t, sound_samples + 1> buffer{};
    int gets = 0;
    int frees = 0;
    AUDIOSTREAM *last_stream = nullptr;
};
fake_stream fake;

void *fake_get(AUDIOSTREAM *s) {
    ++fake.gets;
    fake.last_stream = s;
    if (fake.refusals > 0) {
        --fake.refusals;
        return nullptr;
    }
    return fake.buffer.data();
}
void fake_free(AUDIOSTREAM *s) {
    ++fake.frees;
    fake.last_stream = s;
}

// Never dereferenced: the fake calls stand in for Allegro's.
AUDIOSTREAM *dummy_stream() {
    static AUDIOSTREAM s;
    return &s;
}

class Beeper : public ::testing::Test {
protected:
    void SetUp() override {
        fake = fake_stream{};
        fake.buffer.fill(0xA5);
        saved_get = stream_buffer_get;
        saved_free = stream_buffer_free;
        stream_buffer_get = fake_get;
        stream_buffer_free = fake_free;
        as = dummy_stream();
        uladat = 0;
    }
    void TearDown() override {
        stream_buffer_get = saved_get;
        stream_buffer_free = saved_free;
        as = nullptr;
    }
    void *(*saved_get)(AUDIOSTREAM *) = nullptr;
    void (*saved_free)(AUDIOSTREAM *) = nullptr;
};

// Runs the scanline polls of one frame; during_line(i) may write the port
// as an OUT during line i would, after that line has been sampled.
template <typename F>
void frame(F during_line) {
    for (int line = 0; line < sound_samples; ++line) {
        pollline(line);
        during_line(line);
    }
}

// The speaker level each value of the ULA byte gives: EAR makes the swing,
// MIC only nudges it; the border bits play no part.
struct level_case {
    uint8_t ula;
    uint8_t sample;
};
const level_case levels[] = {
    {0x00, 0x00}, {0x07, 0x00}, {0xE7, 0x00},  // neither bit
    {0x08, 0x18}, {0x0F, 0x18}, {0xEF, 0x18},  // MIC alone
    {0x10, 0xF4}, {0x17, 0xF4}, {0xF7, 0xF4},  // EAR alone
    {0x18, 0xFF}, {0x1A, 0xFF}, {0xFF, 0xFF},  // both
};

// A frame with no port write is 312 equal samples at the level of the byte
// written before it.
TEST_F(Beeper, QuietFrameHoldsTheLevel) {
    for (const level_case &c : levels) {
        writeula(c.ula);
        frame([](int) {});
        fake.buffer.fill(0xA5);
        mixsound();
        for (int i = 0; i < sound_samples; ++i) ASSERT_EQ(fake.buffer[i], c.sample) << "ula " << int(c.ula) << " sample " << i;
        EXPECT_EQ(fake.buffer[sound_samples], 0xA5) << "wrote past the frame";
    }
}

// An OUT during line 100 is heard from sample 101 on.
TEST_F(Beeper, ChangeDuringALineIsHeardFromTheNext) {
    for (const level_case &c : levels) {
        writeula(0x00);
        frame([&](int line) {
            if (line == 100) writeula(c.ula);
        });
        mixsound();
        for (int i = 0; i <= 100; ++i) ASSERT_EQ(fake.buffer[i], 0x00) << "sample " << i;
        for (int i = 101; i < sound_samples; ++i) ASSERT_EQ(fake.buffer[i], c.sample) << "sample " << i;
    }
}

// The ROM's BEEP holds MIC high and toggles EAR: the two levels must be far apart.
TEST_F(Beeper, BeepWithMicHeldSwings) {
    writeula(0x18);
    frame([](int line) { writeula(line & 1 ? 0x18 : 0x08); });
    mixsound();
    for (int i = 1; i < sound_samples; ++i) {
        const int swing = int(fake.buffer[i]) - int(fake.buffer[i - 1]);
        ASSERT_GE(swing < 0 ? -swing : swing, 0xE0) << "sample " << i;
    }
}

// Several changes within one line collapse into the level at its end, and a
// change during the last line shows at sample 0 of the next frame.
TEST_F(Beeper, LineEdges) {
    frame([](int line) {
        if (line == 10) {
            writeula(0x10);
            writeula(0x00);
            writeula(0x18);
        }
        if (line == 311) writeula(0x10);
    });
    mixsound();
    EXPECT_EQ(fake.buffer[10], 0x00);
    EXPECT_EQ(fake.buffer[11], 0xFF);
    EXPECT_EQ(fake.buffer[311], 0xFF);
    frame([](int) {});
    mixsound();
    EXPECT_EQ(fake.buffer[0], 0xF4);
}

TEST_F(Beeper, HandsTheBufferBackToTheSameStream) {
    frame([](int) {});
    mixsound();
    EXPECT_EQ(fake.gets, 1);
    EXPECT_EQ(fake.frees, 1);
    EXPECT_EQ(fake.last_stream, dummy_stream());
}

// No free buffer: the frame is dropped at once, with one request and no
// buffer handed back, even though a buffer would be free a moment later.
TEST_F(Beeper, NoFreeBufferDropsTheFrame) {
    fake.refusals = 1;
    writeula(0x18);
    frame([](int) {});
    mixsound();
    EXPECT_EQ(fake.gets, 1);
    EXPECT_EQ(fake.frees, 0);
    EXPECT_EQ(fake.buffer[0], 0xA5);
    // The next frame finds the buffer free.
    mixsound();
    EXPECT_EQ(fake.gets, 2);
    EXPECT_EQ(fake.frees, 1);
    EXPECT_EQ(fake.buffer[0], 0xFF);
}

// No stream (sound off, or no sound system): nothing is asked of Allegro.
TEST_F(Beeper, NoStreamIsNeverTouched) {
    as = nullptr;
    frame([](int) {});
    mixsound();
    EXPECT_EQ(fake.gets, 0);
    EXPECT_EQ(fake.frees, 0);
}

// The stream with Allegro's own calls. Before the sound system is installed
// no stream is made; afterwards (the driver-less sound system of a headless
// Allegro) the stream exists, takes frames until its buffers are full, then
// drops them without blocking; stopping it leaves no handle behind.
TEST(BeeperStream, LifeOfTheStream) {
    allegro_headless();
    ASSERT_EQ(as, nullptr);
    start_sound_stream();
    EXPECT_EQ(as, nullptr) << "a stream before the sound system was installed";
    stop_sound_stream();  // harmless with no stream
    EXPECT_EQ(as, nullptr);

    ASSERT_EQ(install_sound(DIGI_AUTODETECT, MIDI_NONE, nullptr), 0);
    start_sound_stream();
    ASSERT_NE(as, nullptr);
    EXPECT_EQ(as->len, sound_samples);
    EXPECT_EQ(as->samp->freq, sound_rate);
    EXPECT_EQ(as->samp->bits, 8);
    EXPECT_EQ(as->samp->stereo, 0);

    // Nothing plays the driver-less stream, so its buffers fill and stay full.
    writeula(0x10);
    frame([](int) {});
    for (int n = 0; n < 200; ++n) mixsound();
    EXPECT_EQ(get_audio_stream_buffer(as), nullptr);

    // Starting again replaces the stream; stopping clears the handle.
    start_sound_stream();
    ASSERT_NE(as, nullptr);
    EXPECT_NE(get_audio_stream_buffer(as), nullptr) << "a new stream starts with free buffers";
    free_audio_stream_buffer(as);
    stop_sound_stream();
    EXPECT_EQ(as, nullptr);
    mixsound();  // no stream: nothing happens
    stop_sound_stream();
    EXPECT_EQ(as, nullptr);
}

}  // namespace
