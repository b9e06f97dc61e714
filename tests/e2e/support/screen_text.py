#!/usr/bin/python3
"""Reads the Spectrum's text off a screenshot of the emulator window.

Usage: screen_text.py ROM IMAGE.ppm
Prints the 24 text rows of the picture, one line each. Every 8 x 8 character
cell is split into its two colours (the darker one taken as ink) and matched
against the ROM's character set, also inverted (the editor's cursor is shown
as INK and PAPER exchanged). Cells of one colour are spaces, cells that match
nothing are '?'. The picture may be enlarged by a whole factor.
"""
import sys


def read_ppm(path):
    data = open(path, 'rb').read()
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b'#':
            pos = data.index(b'\n', pos) + 1
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pos += 1
    if fields[0] != b'P6' or fields[3] != b'255':
        raise SystemExit('not an 8-bit P6 picture: %s' % path)
    return int(fields[1]), int(fields[2]), data[pos:]


def font_table(rom_path):
    rom = open(rom_path, 'rb').read()
    font = rom[0x3D00:0x3D00 + 96 * 8]
    table = {}
    for i in range(96):
        glyph = bytes(font[i * 8:i * 8 + 8])
        ch = {0x60: '£', 0x7F: '©'}.get(0x20 + i, chr(0x20 + i))
        if ch == ' ':
            continue
        table.setdefault(glyph, ch)
        table.setdefault(bytes(255 - b for b in glyph), ch)
    return table


def screen_text(rom_path, image_path):
    width, height, pixels = read_ppm(image_path)
    scale = min(width // 256, height // 192)
    if scale < 1:
        raise SystemExit('picture %dx%d is smaller than the Spectrum screen' % (width, height))
    # the picture is centred when the window is larger than it
    x0 = (width - 256 * scale) // 2
    y0 = (height - 192 * scale) // 2

    def luma(x, y):
        px = x0 + x * scale + scale // 2
        py = y0 + y * scale + scale // 2
        i = (py * width + px) * 3
        r, g, b = pixels[i], pixels[i + 1], pixels[i + 2]
        return 30 * r + 59 * g + 11 * b

    table = font_table(rom_path)
    rows = []
    for row in range(24):
        line = []
        for col in range(32):
            cell = [[luma(col * 8 + x, row * 8 + y) for x in range(8)] for y in range(8)]
            lo = min(min(r) for r in cell)
            hi = max(max(r) for r in cell)
            if hi - lo < 1000:
                line.append(' ')
                continue
            mid = (lo + hi) / 2
            glyph = bytes(sum(0x80 >> x for x in range(8) if cell[y][x] < mid) for y in range(8))
            line.append(table.get(glyph, '?'))
        rows.append(''.join(line).rstrip())
    return rows


if __name__ == '__main__':
    for text in screen_text(sys.argv[1], sys.argv[2]):
        print(text)
