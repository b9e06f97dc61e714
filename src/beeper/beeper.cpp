// The band-limited beeper (see beeper.h).
//
// A step of the speaker at time tau (in output samples) is heard as the
// running sum of a windowed sinc centred on tau: a difference buffer takes
// the sinc's taps, scaled by the change of level, and the output sums it up.
// The DC blocker (y = x - x' + p y') takes that running sum's differences,
// which are the buffer itself, so the two make one leaky sum: y = d + p y'.
// Every tap set is normalised to sum to one step. The sinc's cut-off (0.40
// of the rate) and its Kaiser window (32 taps) keep everything that would
// fold back from above half the rate more than 75 dB down; the taps reach
// 15 samples ahead of the edge, so the stream runs that much (0.3 ms at
// 48 kHz) behind the machine.
//
// The frame lasts 69888 T-states and, as the classic stream has it, a
// fiftieth of a second: at 48 kHz an edge at T-state t falls at sample
// t * 960 / 69888, which is a whole number of 364ths of a sample. The table
// holds one tap set for each such fraction (at most 4096; finer clocks round
// to that many).
#include "beeper/beeper.h"

#include <allegro.h>
#include <allegro/internal/aintern.h>  // _sound_installed

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "z80/z80.h"

bool hifi_sound = false;
beeper_edge beeper_edges[max_beeper_edges];
int beeper_edge_count = 0;
int64_t beeper_frame_start = 0;
uint8_t beeper_tape_bit = 0;

namespace {

constexpr int taps = 32;
constexpr int delay = taps / 2 - 1;    // samples between an edge and the middle of its step
constexpr int max_phases = 4096;
constexpr double cutoff = 0.40;        // of the sampling rate
constexpr double kaiser_beta = 7.0;
constexpr double dc_corner_hz = 5.0;   // the DC blocker's corner
constexpr int frames_per_second = 50;
constexpr int chains = 8;              // the DC blocker's parallel chains over a frame
constexpr double pi = 3.14159265358979323846;

// Output level for each combination of EAR and MIC, as the classic stream's
// table has them (EAR carries the swing, MIC only nudges it), scaled so that
// the whole swing, centred by the DC blocker, stays inside 16 bits.
constexpr int32_t level_amplitude[4] = {0x00 * 125, 0x18 * 125, 0xF4 * 125, 0xFF * 125};

struct synthesis_state {
    int samples_per_frame = 0;
    int phases = 1;
    std::vector<float> kernel;  // phases x taps
    std::vector<float> diff;    // the frame's samples, then the taps reaching into the next
    uint8_t level = 0;          // the level of the last edge rendered
    float out = 0;              // the last output sample, before rounding
    double pole = 0;            // the DC blocker's
    std::vector<float> chains;  // the frame's leaky sums, each eighth from zero
    std::vector<float> powers;  // pole^(i+1)
};
synthesis_state syn;

// The zeroth-order modified Bessel function, for the Kaiser window.
double bessel_i0(double x) {
    double sum = 1, term = 1;
    for (int k = 1; k < 40; ++k) {
        term *= (x / (2 * k)) * (x / (2 * k));
        sum += term;
    }
    return sum;
}

// The windowed sinc at x samples from its centre.
double windowed_sinc(double x) {
    const double half = taps / 2.0;
    if (x <= -half || x >= half) return 0;
    const double r = x / half;
    const double window = bessel_i0(kaiser_beta * std::sqrt(1 - r * r)) / bessel_i0(kaiser_beta);
    const double a = 2 * pi * cutoff * x;
    return 2 * cutoff * (x == 0 ? 1 : std::sin(a) / a) * window;
}

void build_kernel() {
    syn.kernel.assign(size_t(syn.phases) * taps, 0);
    for (int p = 0; p < syn.phases; ++p) {
        const double fraction = double(p) / syn.phases;
        double v[taps], total = 0;
        for (int k = 0; k < taps; ++k) total += v[k] = windowed_sinc(k - delay - 0.5 - fraction);
        for (int k = 0; k < taps; ++k) syn.kernel[size_t(p) * taps + size_t(k)] = float(v[k] / total);
    }
}

// One edge's taps into the difference buffer (the two never overlap, which
// lets the compiler use vector instructions).
inline void add_taps(float *__restrict d, const float *__restrict row, float change) {
    for (int k = 0; k < taps; ++k) d[k] += change * row[k];
}

// Samples queued ahead of the play position after the last frame.
int queued_samples = -1;

}  // namespace

void beeper_start_frame(int64_t clock) {
    if (beeper_edge_count > 0) syn.level = beeper_edges[beeper_edge_count - 1].level;
    beeper_edge_count = 0;
    beeper_frame_start = clock;
}

int beeper_samples_for_rate(int rate) { return std::max(1, (rate + frames_per_second / 2) / frames_per_second); }

void beeper_setup(int samples_per_frame) {
    syn.samples_per_frame = samples_per_frame;
    const int g = std::gcd(tstates_per_frame, samples_per_frame);
    syn.phases = std::min(tstates_per_frame / g, max_phases);
    build_kernel();
    syn.diff.assign(size_t(samples_per_frame) + 2 * taps, 0);
    const double rate = double(samples_per_frame) * frames_per_second;
    syn.pole = std::exp(-2 * pi * dc_corner_hz / rate);
    syn.chains.assign(size_t(samples_per_frame), 0.0f);
    syn.powers.resize(size_t(samples_per_frame));
    double power = 1;
    for (float &p : syn.powers) p = float(power *= syn.pole);
    beeper_settle();
}

int beeper_samples_per_frame() { return syn.samples_per_frame; }

void beeper_settle() {
    std::fill(syn.diff.begin(), syn.diff.end(), 0.0f);
    syn.out = 0;
}

void beeper_render(int16_t *out) {
    const int n_out = syn.samples_per_frame;
    const int phases = syn.phases;
    const int last_start = int(syn.diff.size()) - taps;
    for (int i = 0; i < beeper_edge_count; ++i) {
        const beeper_edge &e = beeper_edges[i];
        const int32_t change = level_amplitude[e.level] - level_amplitude[syn.level];
        syn.level = e.level;
        if (!change) continue;
        // The sample and the fraction of one, both by division by the
        // frame's length, a constant.
        const int64_t t = std::max<int32_t>(e.t, 0);
        const int64_t sample = t * n_out / tstates_per_frame;
        const int64_t phase = t * n_out * phases / tstates_per_frame - sample * phases;
        add_taps(&syn.diff[size_t(std::min<int64_t>(sample, last_start))], &syn.kernel[size_t(phase) * taps],
                 float(change));
    }
    beeper_edge_count = 0;
    // The leaky sum y = d + p y' runs as eight chains at once, one over each
    // eighth of the frame, each starting from zero; the CPU overlaps them.
    // Then each eighth takes what the one before it ended on, decayed:
    // p^(i+1) times that at its i-th sample.
    const int part = n_out / chains;
    const float *d = syn.diff.data();
    float *z = syn.chains.data();
    const float pole = float(syn.pole);
    float c[chains] = {};
    for (int i = 0; i < part; ++i)
        for (int j = 0; j < chains; ++j) z[j * part + i] = c[j] = d[j * part + i] + pole * c[j];
    for (int m = chains * part; m < n_out; ++m) z[m] = c[chains - 1] = d[m] + pole * c[chains - 1];
    const float *powers = syn.powers.data();
    float carry = syn.out;
    for (int j = 0; j < chains; ++j) {
        const int from = j * part, to = j == chains - 1 ? n_out : from + part;
        const float start = carry;
        for (int m = from; m < to; ++m) {
            const float v = std::clamp(z[m] + powers[m - from] * start, -32768.0f, 32767.0f);
            out[m] = int16_t(v < 0 ? v - 0.5f : v + 0.5f);
        }
        carry = z[to - 1] + powers[to - 1 - from] * carry;
    }
    syn.out = std::fabs(carry) < 1e-3f ? 0 : carry;  // no denormals in a long silence
    std::copy(syn.diff.begin() + n_out, syn.diff.end(), syn.diff.begin());
    std::fill(syn.diff.end() - n_out, syn.diff.end(), 0.0f);
}

// ---- The stream ----
//
// Allegro's audio streams play their last buffers again when no new one
// comes. The hifi sound plays a looped voice of one second instead and
// writes each frame a little ahead of where the voice plays; what the voice
// has played is cleared to silence behind it. After a stall the voice runs
// into silence, never into old sound, and writing starts again the same
// distance ahead; frames that come faster than the voice plays (caught up
// after a stall) are dropped once the queue holds its most.

namespace {

SAMPLE *ring = nullptr;
int voice = -1;
int ring_length = 0;
int write_pos = 0;
int cleared_to = 0;
int lead = 0;      // samples written ahead of the play position at the start, and after a stall
int most = 0;      // samples the queue may hold
std::vector<int16_t> frame_samples;

uint16_t *ring_data() { return static_cast<uint16_t *>(ring->data); }

// Fills length samples from at (wrapping) with f(i), in at most two runs.
template <typename F>
void ring_fill(int at, int length, F f) {
    uint16_t *data = ring_data();
    const int first = std::min(length, ring_length - at);
    for (int i = 0; i < first; ++i) data[at + i] = f(i);
    for (int i = first; i < length; ++i) data[i - first] = f(i);
}

}  // namespace

void start_beeper_stream() {
    stop_beeper_stream();
    if (!_sound_installed) return;
    const int mixer_rate = get_mixer_frequency();
    const int n = beeper_samples_for_rate(mixer_rate > 0 ? mixer_rate : 48000);
    if (n != syn.samples_per_frame) beeper_setup(n);
    beeper_settle();
    frame_samples.assign(size_t(n), 0);
    ring_length = n * frames_per_second;
    ring = create_sample(16, 0, n * frames_per_second, ring_length);
    if (!ring) return;
    ring_fill(0, ring_length, [](int) { return uint16_t(0x8000); });
    voice = allocate_voice(ring);
    if (voice < 0) {
        destroy_sample(ring);
        ring = nullptr;
        return;
    }
    // Two frames ahead, or one beyond the mixer's own buffer when that is
    // longer; at most two frames more. With the mixer's usual buffer that is
    // 40 to 80 ms, as the classic stream's two halves of two 312-sample
    // buffers at 15600 Hz.
    const int mixer_buffer = digi_driver && digi_driver->buffer_size ? digi_driver->buffer_size() : 0;
    lead = std::max(2 * n, mixer_buffer + n);
    most = lead + 2 * n;
    write_pos = lead;
    cleared_to = 0;
    queued_samples = lead;
    voice_set_playmode(voice, PLAYMODE_LOOP);
    voice_set_volume(voice, 255);
    voice_set_pan(voice, 127);
    voice_start(voice);
}

void stop_beeper_stream() {
    if (voice >= 0) deallocate_voice(voice);
    voice = -1;
    if (ring) destroy_sample(ring);
    ring = nullptr;
    queued_samples = -1;
}

void beeper_mixsound() {
    if (voice < 0) return;  // the edges are dropped at the next frame's start
    beeper_render(frame_samples.data());
    const int pos = voice_get_position(voice);
    if (pos >= 0) beeper_queue_frame(pos);
}

void beeper_queue_frame(int pos) {
    if (!ring) return;
    // What the voice has played becomes silence.
    const int played = (pos - cleared_to + ring_length) % ring_length;
    ring_fill(cleared_to, played, [](int) { return uint16_t(0x8000); });
    cleared_to = pos;
    int ahead = (write_pos - pos + ring_length) % ring_length;
    if (ahead > most) {  // the voice has passed the sound written: start again ahead of it
        write_pos = (pos + lead) % ring_length;
        ahead = lead;
    }
    if (ahead + int(frame_samples.size()) > most) {
        queued_samples = ahead;
        return;  // the queue is full: this frame is dropped
    }
    ring_fill(write_pos, int(frame_samples.size()), [](int i) { return uint16_t(frame_samples[size_t(i)] + 0x8000); });
    write_pos = (write_pos + int(frame_samples.size())) % ring_length;
    queued_samples = ahead + int(frame_samples.size());
}

int beeper_queued() { return queued_samples; }
