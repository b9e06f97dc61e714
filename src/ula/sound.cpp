// The beeper: one sample per scanline, one stream buffer per frame.
//
// The speaker follows bits 3 (MIC) and 4 (EAR) of the ULA byte. The frame
// loop samples them at the start of every scanline; after the frame the 312
// samples go to an Allegro stream playing at 15600 Hz (312 lines x 50 frames).
#include "ula/ula.h"

#include <allegro/internal/aintern.h>  // _sound_installed

#include "beam/beam.h"
#include "beeper/beeper.h"
#include "tape/tape.h"
#include "z80/z80.h"

namespace {

// Output level of the speaker for each combination of the two bits, indexed
// by (bits 3 and 4) >> 3. The real machine's output sits at about 0.34 V,
// 0.66 V, 3.56 V and 3.70 V: EAR carries the swing and MIC only nudges it.
// The ROM's BEEP keeps MIC set and toggles EAR, so the two MIC levels must
// differ by far more than the two without EAR.
constexpr uint8_t speaker_levels[4] = {
    0x00,  // neither
    0x18,  // MIC alone
    0xF4,  // EAR alone
    0xFF,  // both
};

}  // namespace

int speakerstat[sound_samples];

void *(*stream_buffer_get)(AUDIOSTREAM *) = get_audio_stream_buffer;
void (*stream_buffer_free)(AUDIOSTREAM *) = free_audio_stream_buffer;

void pollline(int line) {
    if (line == 0) beam_frame_start();
    // A playing tape is heard too: the EAR input shares the speaker's line.
    speakerstat[line] = (uladat & 0x18) | (deck.playing && deck.level ? 0x10 : 0);
    if (hifi_sound) beeper_line(line, line_clock, deck.playing && deck.level, uladat);
    if (line == 0) frame_end_clock = line_clock + lines_per_frame * tstates_per_line;
    line_clock += tstates_per_line;  // the tape's T-state clock, at the end of this line
}

void mixsound() {
    if (hifi_sound) {
        beeper_mixsound();
        return;
    }
    if (!as) return;  // sound system missing, or stream stopped
    auto *samples = static_cast<uint8_t *>(stream_buffer_get(as));
    if (!samples) return;  // the stream still has data: this frame is dropped
    for (int i = 0; i < sound_samples; ++i) samples[i] = speaker_levels[(speakerstat[i] >> 3) & 3];
    stream_buffer_free(as);
}

void start_sound_stream() {
    stop_sound_stream();  // a stream replaces, never joins, the one before it
    if (!_sound_installed) return;
    if (hifi_sound) {
        start_beeper_stream();
        return;
    }
    as = play_audio_stream(sound_samples, 8, 0, sound_rate, 255, 127);
}

void stop_sound_stream() {
    if (as) stop_audio_stream(as);
    as = nullptr;
    stop_beeper_stream();
}
