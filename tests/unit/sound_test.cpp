// The beeper: speaker bits sampled once per scanline, a frame's samples
// handed to the audio stream, and the stream's life.
#include <gtest/gtest.h>

#include <allegro.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "allegro_headless.h"
#include "rom_machine.h"
#include "ula/ula.h"
#include "z80_harness.h"

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
    // One buffer asked for and handed back per frame, on the current stream.
    EXPECT_EQ(fake.gets, int(std::size(levels)));
    EXPECT_EQ(fake.frees, int(std::size(levels)));
    EXPECT_EQ(fake.last_stream, dummy_stream());
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

// The processor's own OUT, timed by the frame loop: the program runs NOPs
// from 0x8000 (4 T-states each) up to the middle of the chosen line, then
// LD A,0x10 and OUT (0xFE),A, then loops on JR $ with interrupts off.
TEST_F(Beeper, OutFromTheProcessorIsHeardFromTheNextLine) {
    for (int line : {0, 100, 200, 311}) {
        z80_fresh();
        const int nops = (line * 224 + 100) / 4;
        const uint16_t at = uint16_t(0x8000 + nops);
        z80_poke(at, {0x3E, 0x10, 0xD3, 0xFE, 0x18, 0xFE});
        pc = 0x8000;
        execz80();
        mixsound();
        const std::string where = "OUT during line " + std::to_string(line);
        for (int i = 0; i < sound_samples; ++i)
            ASSERT_EQ(fake.buffer[i], i <= line ? 0x00 : 0xF4) << where << ", sample " << i;
        execz80();
        mixsound();
        for (int i = 0; i < sound_samples; ++i) ASSERT_EQ(fake.buffer[i], 0xF4) << where << ", next frame, sample " << i;
    }
}

// BEEP 1,0 typed into the default ROM: one second of middle C (261.63 Hz),
// which the beeper must carry as a full swing at 15600 samples a second.
TEST_F(Beeper, RomBeepIsMiddleCForOneSecond) {
    std::string error;
    ASSERT_TRUE(boot_rom(300, error)) << error;
    struct stroke {
        int host;
        bool symbol;
    };
    const stroke line[] = {{KEY_B, false}, {KEY_E, false}, {KEY_E, false}, {KEY_P, false},
                           {KEY_SPACE, false}, {KEY_1, false}, {KEY_N, true}, {KEY_0, false}};
    for (const stroke &s : line) {
        key[KEY_RCONTROL] = s.symbol;
        key[s.host] = 1;
        run_frames(6);
        key[s.host] = 0;
        key[KEY_RCONTROL] = 0;
        run_frames(6);
    }
    // Enter, and two seconds of sound from the frame it goes down.
    std::vector<uint8_t> sound;
    key[KEY_ENTER] = 1;
    for (int f = 0; f < 100; ++f) {
        if (f == 6) key[KEY_ENTER] = 0;
        execz80();
        intreq = 1;
        mixsound();
        sound.insert(sound.end(), fake.buffer.begin(), fake.buffer.begin() + sound_samples);
    }
    key[KEY_ENTER] = 0;
    // Changes of level; the tone is the longest run of changes less than a
    // frame apart.
    std::vector<size_t> changes;
    for (size_t i = 1; i < sound.size(); ++i)
        if (sound[i] != sound[i - 1]) changes.push_back(i);
    size_t best_first = 0, best_last = 0, first = 0;
    for (size_t k = 1; k <= changes.size(); ++k) {
        if (k == changes.size() || changes[k] - changes[k - 1] > size_t(sound_samples)) {
            if (k - 1 - first > best_last - best_first) {
                best_first = first;
                best_last = k - 1;
            }
            first = k;
        }
    }
    ASSERT_GT(best_last - best_first, 100u) << "no tone";
    const double span = double(changes[best_last] - changes[best_first]);
    const double periods = (best_last - best_first) / 2.0;
    const double frequency = periods * sound_rate / span;
    const double seconds = span / sound_rate;
    EXPECT_NEAR(frequency, 261.63, 261.63 * 0.01);
    EXPECT_NEAR(seconds, 1.0, 0.02);
    uint8_t lo = 0xFF, hi = 0x00;
    for (size_t i = changes[best_first]; i < changes[best_last]; ++i) {
        lo = std::min(lo, sound[i]);
        hi = std::max(hi, sound[i]);
    }
    EXPECT_EQ(lo, 0x18) << "the ROM holds MIC while it beeps";
    EXPECT_EQ(hi, 0xFF);
    RecordProperty("frequency", std::to_string(frequency));
    RecordProperty("seconds", std::to_string(seconds));
    std::printf("BEEP 1,0: %.2f Hz for %.3f s\n", frequency, seconds);
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
