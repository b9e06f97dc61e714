#!/usr/bin/python3
"""Measures a tone in raw audio captured from the sound device.

Usage: audio_measure.py FILE RATE [OFFSET_BYTES]
FILE holds interleaved stereo unsigned 16-bit little-endian frames (what
Allegro's mixer hands to ALSA) at RATE frames per second; only the left
channel is used, from OFFSET_BYTES on. Prints one line of key=value fields:
  frames    frames analysed
  min, max  extremes of the signal (signed, silence is 0)
  tone      1 if a tone was found, else 0
  frequency fundamental of the longest stretch of regular swings, in Hz
  duration  length of that stretch, in seconds
  seams     periods left out of the frequency as broken by dropped or
            repeated buffers
  swing     typical peak-to-peak level within it
"""
import struct
import sys


def left_channel(path, offset):
    data = open(path, 'rb').read()[offset:]
    frames = len(data) // 4
    values = struct.unpack('<%dH' % (2 * frames), data[:frames * 4])
    return [v - 32768 for v in values[0::2]]


def measure(samples, rate):
    out = {'frames': len(samples), 'tone': 0}
    if not samples:
        out.update(min=0, max=0)
        return out
    lo, hi = min(samples), max(samples)
    out.update(min=lo, max=hi)
    if hi - lo < 256:
        return out
    # Crossings of the middle level, with hysteresis against small wobbles.
    mid = (lo + hi) / 2
    band = (hi - lo) / 8
    edges = []  # (index, rising?)
    state = samples[0] > mid
    for i, v in enumerate(samples):
        if not state and v > mid + band:
            state = True
            edges.append((i, True))
        elif state and v < mid - band:
            state = False
            edges.append((i, False))
    # The longest stretch of edges no further apart than a fiftieth of a
    # second (a note above 25 Hz); a pause ends a stretch.
    longest, start = (0, 0), 0
    limit = rate // 50
    for k in range(1, len(edges) + 1):
        if k == len(edges) or edges[k][0] - edges[k - 1][0] > limit:
            if k - start > longest[1] - longest[0]:
                longest = (start, k)
            start = k
    stretch = edges[longest[0]:longest[1]]
    rises = [i for i, rising in stretch if rising]
    if len(rises) < 3:
        return out
    # A busy host may drop a frame of samples or play a stale one again; the
    # periods across such a seam are off, so only periods near the typical
    # one are averaged.
    periods = sorted(b - a for a, b in zip(rises, rises[1:]))
    typical = periods[len(periods) // 2]
    kept = [p for p in periods if 0.9 * typical <= p <= 1.1 * typical]
    first, last = stretch[0][0], stretch[-1][0]
    # The swing of the tone itself: the levels of the kept periods' edges.
    levels = sorted(samples[i] for i, _ in stretch)
    out.update(tone=1,
               frequency=round(rate * len(kept) / sum(kept), 2),
               duration=round((last - first) / rate, 3),
               seams=len(periods) - len(kept),
               swing=levels[-len(levels) // 10] - levels[len(levels) // 10])
    return out


if __name__ == '__main__':
    path, rate = sys.argv[1], int(sys.argv[2])
    offset = int(sys.argv[3]) if len(sys.argv) > 3 else 0
    offset -= offset % 4
    result = measure(left_channel(path, offset), rate)
    print(' '.join('%s=%s' % kv for kv in result.items()))
