// The band-limited beeper (see beeper.h).
//
// A step of the speaker at time tau (in output samples) is heard as the
// running sum of a windowed sinc centred on tau, taken through the DC blocker
// y = x - x' + p y'. Both are linear, so each step's whole response is known
// in advance: over the sinc's 16 taps it is a table row (the head, one row
// for each fraction of a sample), and from then on, where the sinc has
// ended, it is a plain decay c K p^k, k samples after the step began, with
// K a constant of the row (its tail). So a frame's sound is:
//  - the heads of its steps, each added at its sample (16 taps an edge);
//  - plus p^n times the sum of the settled steps' c K p^-s (s being the
//    sample where each began), a sum that changes only where a step settles
//    and is made by one running sum over the frame.
// Nothing in it runs sample by sample through a recurrence but that one
// sum, which adds four samples at a time.
//
// The sinc's cut-off (0.36 of the rate) and its Kaiser window (beta 8)
// keep what folds back from above half the rate far down (the strongest
// such component of BEEP 1,40's square wave 78 dB below the note); the
// sound is flat to 10 kHz and 2 dB down at 15 kHz. The taps reach 7
// samples ahead of the edge, so the stream runs that much (0.15 ms at
// 48 kHz) behind the machine.
//
// The frame lasts 69888 T-states and, as the classic stream has it, a
// fiftieth of a second: at 48 kHz an edge at T-state t falls at sample
// t * 960 / 69888, which is a whole number of 364ths of a sample. The table
// holds one row for each such fraction (at most 4096; finer clocks round to
// that many).
#include "beeper/beeper.h"

#include <allegro.h>
#include <allegro/internal/aintern.h>  // _sound_installed

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>
#include <vector>

#include "z80/z80.h"

bool hifi_sound = false;
beeper_edge beeper_edges[max_beeper_edges];
int beeper_edge_count = 0;
int64_t beeper_frame_start = 0;
uint8_t beeper_tape_bit = 0;

namespace {

constexpr int taps = 16;
constexpr int delay = taps / 2 - 1;    // samples between an edge and the middle of its step
constexpr int max_phases = 4096;
constexpr double cutoff = 0.36;        // of the sampling rate
constexpr double kaiser_beta = 8.0;
constexpr double dc_corner_hz = 5.0;   // the DC blocker's corner
constexpr int frames_per_second = 50;
constexpr double pi = 3.14159265358979323846;

// Output level for each combination of EAR and MIC, as the classic stream's
// table has them (EAR carries the swing, MIC only nudges it), scaled so that
// the whole swing, centred by the DC blocker, stays inside 16 bits.
constexpr float level_amplitude[4] = {0x00 * 125, 0x18 * 125, 0xF4 * 125, 0xFF * 125};

struct synthesis_state {
    int samples_per_frame = 0;
    int phases = 1;
    int span = 0;                    // the frame's samples and those its last steps reach into
    std::vector<float> head;         // phases x taps: a step's first samples, through the DC blocker
    std::vector<float> tail;         // phases: K, what the rest decays from
    std::vector<float> powers;       // p^n
    std::vector<float> inverse;      // p^-n
    std::vector<float> heads;        // the heads, the frame's samples and on into the next frame: two lanes
    std::vector<float> settles;      // what the settled sum gains at each sample, likewise
    uint8_t level = 0;               // the level of the last edge rendered
    float settled = 0;               // the settled sum at the frame's start
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

// Each row: the sinc at its fraction, made to sum to one step, then run
// through the DC blocker (y = d + p y', d being the sinc); its tail is
// sum d_k p^-k, since from the last tap on y_n = p^n sum d_k p^-k.
void build_tables(double pole) {
    syn.head.assign(size_t(syn.phases) * taps, 0);
    syn.tail.assign(size_t(syn.phases), 0);
    for (int p = 0; p < syn.phases; ++p) {
        const double fraction = double(p) / syn.phases;
        double d[taps], total = 0;
        for (int k = 0; k < taps; ++k) total += d[k] = windowed_sinc(k - delay - 0.5 - fraction);
        double y = 0, tail = 0;
        for (int k = 0; k < taps; ++k) {
            y = d[k] / total + pole * y;
            syn.head[size_t(p) * taps + size_t(k)] = float(y);
            tail += d[k] / total * std::pow(pole, -k);
        }
        syn.tail[size_t(p)] = float(tail);
    }
}

// One step's head into the samples (the two never overlap, which lets the
// compiler use vector instructions).
inline void add_head(float *__restrict h, const float *__restrict row, float change) {
    for (int k = 0; k < taps; ++k) h[k] += change * row[k];
}

// The frame's samples: the two lanes' heads[n] + p^n (settled + the
// running sum of settles to n), rounded into out; all are cleared as they
// are read. Returns the settled sum at the end.
float finish_frame(float *heads, float *heads_b, float *settles, const float *powers, float settled, int n_out,
                   int16_t *out) {
    int n = 0;
#if defined(__SSE2__)
    // Eight samples at a time: each four's running sum in two shifted adds,
    // the second four's raised by the first's total, then all eight raised
    // by what the samples before them reached (the only sum carried from
    // one eight to the next).
    const auto running = [](__m128 x) {
        x = _mm_add_ps(x, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(x), 4)));
        return _mm_add_ps(x, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(x), 8)));
    };
    const auto last = [](__m128 x) { return _mm_shuffle_ps(x, x, _MM_SHUFFLE(3, 3, 3, 3)); };
    __m128 carry = _mm_set1_ps(settled);
    for (; n + 8 <= n_out; n += 8) {
        const __m128 a = running(_mm_loadu_ps(settles + n));
        const __m128 b = _mm_add_ps(running(_mm_loadu_ps(settles + n + 4)), last(a));
        const __m128 sum_a = _mm_add_ps(a, carry);
        const __m128 sum_b = _mm_add_ps(b, carry);
        carry = _mm_add_ps(carry, last(b));
        const __m128 h_a = _mm_add_ps(_mm_loadu_ps(heads + n), _mm_loadu_ps(heads_b + n));
        const __m128 h_b = _mm_add_ps(_mm_loadu_ps(heads + n + 4), _mm_loadu_ps(heads_b + n + 4));
        const __m128 y_a = _mm_add_ps(h_a, _mm_mul_ps(_mm_loadu_ps(powers + n), sum_a));
        const __m128 y_b = _mm_add_ps(h_b, _mm_mul_ps(_mm_loadu_ps(powers + n + 4), sum_b));
        for (float *done : {heads + n, heads + n + 4, heads_b + n, heads_b + n + 4, settles + n, settles + n + 4})
            _mm_storeu_ps(done, _mm_setzero_ps());
        // Rounded to the nearest, and held inside 16 bits by the packing.
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + n), _mm_packs_epi32(_mm_cvtps_epi32(y_a), _mm_cvtps_epi32(y_b)));
    }
    settled = _mm_cvtss_f32(carry);
#endif
    for (; n < n_out; ++n) {
        settled += settles[n];
        out[n] = int16_t(std::lrint(std::clamp(heads[n] + heads_b[n] + powers[n] * settled, -32768.0f, 32767.0f)));
        heads[n] = heads_b[n] = settles[n] = 0;
    }
    return settled;
}


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
    const double rate = double(samples_per_frame) * frames_per_second;
    const double pole = std::exp(-2 * pi * dc_corner_hz / rate);
    build_tables(pole);
    // A step may begin up to taps samples past the frame's end and settles
    // taps samples later.
    syn.span = samples_per_frame + 2 * taps + 1;
    syn.powers.resize(size_t(syn.span));
    syn.inverse.resize(size_t(syn.span));
    for (int n = 0; n < syn.span; ++n) {
        syn.powers[size_t(n)] = float(std::pow(pole, n));
        syn.inverse[size_t(n)] = float(std::pow(pole, -n));
    }
    syn.heads.assign(2 * size_t(syn.span), 0);
    syn.settles.assign(size_t(syn.span), 0);
    beeper_settle();
}

int beeper_samples_per_frame() { return syn.samples_per_frame; }

void beeper_settle() {
    std::fill(syn.heads.begin(), syn.heads.end(), 0.0f);
    std::fill(syn.settles.begin(), syn.settles.end(), 0.0f);
    syn.settled = 0;
}

void beeper_render(int16_t *out) {
    const int n_out = syn.samples_per_frame;
    // The sample and the fraction of one come from the T-state in 32.32
    // fixed point, the step rounded up so that a T-state on a sample's
    // boundary lands on that sample. A step may begin up to taps samples
    // past the frame's end; an edge later than that (from an instruction
    // that overran the frame by more than a sample) is taken there.
    const uint64_t step = (uint64_t(n_out) << 32) / tstates_per_frame + 1;
    const uint64_t phases = uint64_t(syn.phases);
    const uint32_t last_start = uint32_t(n_out + taps);
    float *heads = syn.heads.data();
    float *settles = syn.settles.data();
    const float *head = syn.head.data(), *tail = syn.tail.data(), *inverse = syn.inverse.data();
    const int span = syn.span;
    float level = level_amplitude[syn.level];
    const int edges = beeper_edge_count;
    // A silent speaker costs nothing: with no edge now and nothing left of
    // earlier ones, the frame is zeros.
    const auto zero = [](float v) { return v == 0; };
    const int carried = span - n_out;
    if (edges == 0 && syn.settled == 0 && std::all_of(heads, heads + carried, zero) &&
        std::all_of(heads + span, heads + span + carried, zero) && std::all_of(settles, settles + carried, zero)) {
        std::fill(out, out + n_out, int16_t(0));
        return;
    }
    for (int i = 0; i < edges; ++i) {
        const beeper_edge e = beeper_edges[i];
        const float change = level_amplitude[e.level] - level;
        level = level_amplitude[e.level];
        const uint64_t fx = uint64_t(uint32_t(std::max<int32_t>(e.t, 0))) * step;
        const uint32_t at = std::min(uint32_t(fx >> 32), last_start);
        const uint32_t phase = uint32_t((fx & 0xFFFFFFFFu) * phases >> 32);
        // Heads close together overlap, and an add that reads what the one
        // just before it stored waits until that store is done: each edge
        // goes to the other lane from the one before it.
        add_head(heads + (i & 1) * span + at, head + phase * taps, change);
        settles[at + taps] += change * tail[phase] * inverse[at];
    }
    if (edges > 0) syn.level = beeper_edges[edges - 1].level;
    beeper_edge_count = 0;
    const float *powers = syn.powers.data();
    float settled = finish_frame(heads, heads + span, settles, powers, syn.settled, n_out, out);
    // What reaches past the frame moves to the next one's start, the settled
    // sum and the settles counted in its powers.
    const float next = powers[n_out];
    for (int n = n_out; n < span; ++n) {
        heads[n - n_out] += std::exchange(heads[n], 0.0f) + std::exchange(heads[span + n], 0.0f);
        settles[n - n_out] += std::exchange(settles[n], 0.0f) * next;
    }
    settled *= next;
    syn.settled = std::fabs(settled) < 1e-4f ? 0 : settled;  // no denormals in a long silence
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

// Samples queued ahead of the play position after the last frame.
int queued_samples = -1;
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
