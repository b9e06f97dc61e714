#!/usr/bin/python3
"""How far below the tone lies the strongest component that is not its harmonic.

Usage: spectral_purity.py FILE RATE [OFFSET_BYTES [BASE_HZ]]
FILE holds interleaved stereo unsigned 16-bit little-endian frames at RATE
frames per second (what Allegro's mixer hands to ALSA); the left channel is
used from OFFSET_BYTES on. Windows of 8192 frames, a quarter window apart
across the sounding stretch (from its first to its last sharp change of
level, less a twentieth at either end), are taken through a Blackman-Harris
window (side lobes 92 dB down) and a plain-Python FFT. The harmonics are
those of BASE_HZ when given (a tune whose notes share a period), else of the
strongest component. The file sink takes sound at the pace of Allegro's
update thread, not of a sound card's clock, so either stream now and then
drops a frame or plays silence (hifi) or a stale buffer (classic) there; the
cleanest window is the one reported, for both streams alike. Prints
key=value fields:
  fundamental  frequency of the strongest component, Hz
  base         the frequency whose multiples count as harmonics, Hz
  spur         frequency of the strongest other component, Hz
  purity       how far that lies below the strongest one, dB
"""
import cmath
import math
import struct
import sys

SIZE = 8192


def left_channel(path, offset):
    data = open(path, 'rb').read()[offset:]
    frames = len(data) // 4
    values = struct.unpack('<%dH' % (2 * frames), data[:frames * 4])
    return [v - 32768 for v in values[0::2]]


def fft(values):
    """Radix-2 decimation in time, in place on a list of complex numbers."""
    n = len(values)
    a = list(values)
    j = 0
    for i in range(1, n):
        bit = n >> 1
        while j & bit:
            j ^= bit
            bit >>= 1
        j |= bit
        if i < j:
            a[i], a[j] = a[j], a[i]
    length = 2
    while length <= n:
        step = cmath.exp(-2j * math.pi / length)
        half = length // 2
        twiddles = [step ** k for k in range(half)]
        for start in range(0, n, length):
            for k in range(half):
                u = a[start + k]
                v = a[start + k + half] * twiddles[k]
                a[start + k] = u + v
                a[start + k + half] = u - v
        length *= 2
    return a


def sounding_windows(samples):
    """Windows of SIZE samples across the stretch between the first and last sharp change."""
    lo, hi = min(samples), max(samples)
    sharp = max((hi - lo) // 8, 64)
    changes = [i for i in range(1, len(samples)) if abs(samples[i] - samples[i - 1]) > sharp]
    if not changes:
        return []
    margin = (changes[-1] - changes[0]) // 20
    first, last = changes[0] + margin, changes[-1] - margin
    return [samples[at:at + SIZE] for at in range(first, last - SIZE + 1, SIZE // 4)]


def purity(window, rate, base=None):
    c = [0.35875, 0.48829, 0.14128, 0.01168]
    shaped = []
    for i, v in enumerate(window):
        x = 2 * math.pi * i / SIZE
        w = c[0] - c[1] * math.cos(x) + c[2] * math.cos(2 * x) - c[3] * math.cos(3 * x)
        shaped.append(complex(v * w, 0))
    spectrum = fft(shaped)[:SIZE // 2]
    power = [abs(z) ** 2 + 1e-30 for z in spectrum]
    db = [10 * math.log10(p) for p in power]
    bin_hz = rate / SIZE
    low = int(20 / bin_hz) + 1  # DC and the DC blocker's slow drift are not tones
    peak = max(range(low, len(db) - 1), key=lambda k: db[k])
    # The peak's centre between bins, from a parabola through its top three.
    a, b, g = db[peak - 1], db[peak], db[peak + 1]
    shift = 0.5 * (a - g) / (a - 2 * b + g) if a - 2 * b + g else 0
    fundamental = (peak + shift) * bin_hz
    base = base or fundamental
    # The window's main lobe is 4 bins either side; a little more for the
    # frequency's own uncertainty, which grows with the harmonic's order.
    spur, spur_db = None, -1e9
    for k in range(low, len(db)):
        f = k * bin_hz
        h = max(1, round(f / base))
        if abs(f - h * base) <= (6 + 0.02 * h) * bin_hz:
            continue
        if db[k] > spur_db:
            spur, spur_db = f, db[k]
    return {'fundamental': round(fundamental, 2), 'base': round(base, 4),
            'spur': round(spur, 1), 'purity': round(db[peak] - spur_db, 1)}


def worst(results):
    return min(r['purity'] for r in results)


if __name__ == '__main__':
    path, rate = sys.argv[1], int(sys.argv[2])
    offset = int(sys.argv[3]) if len(sys.argv) > 3 else 0
    offset -= offset % 4
    base = float(sys.argv[4]) if len(sys.argv) > 4 else None
    results = [purity(w, rate, base) for w in sounding_windows(left_channel(path, offset))]
    result = max(results, key=lambda r: r['purity']) if results else None
    if result is None:
        print('tone=0')
    else:
        print('tone=1 ' + ' '.join('%s=%s' % kv for kv in result.items())
              + ' windows=%d worst=%s' % (len(results), worst(results)))
