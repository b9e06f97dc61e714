#include "rom_machine.h"

#include "z80_harness.h"

uint16_t cell_addr(int row, int col, int line) {
    return uint16_t(0x4000 | (row & 0x18) << 8 | line << 8 | (row & 7) << 5 | col);
}

char decode_cell(int row, int col) {
    uint8_t cell[8];
    for (int line = 0; line < 8; ++line) cell[line] = ram[cell_addr(row, col, line)];
    for (int ch = 0x20; ch < 0x80; ++ch) {
        const uint8_t *glyph = &lorom[0x3D00 + (ch - 0x20) * 8];
        bool same = true, inverse = true;
        for (int line = 0; line < 8; ++line) {
            same = same && cell[line] == glyph[line];
            inverse = inverse && cell[line] == uint8_t(~glyph[line]);
        }
        if (same || inverse) return char(ch);
    }
    return '?';
}

std::string screen_row(int row) {
    std::string text;
    for (int col = 0; col < 32; ++col) text += decode_cell(row, col);
    return text;
}

std::string trimmed(const std::string &s) {
    size_t end = s.find_last_not_of(' ');
    return end == std::string::npos ? "" : s.substr(0, end + 1);
}

void run_frames(int frames) {
    for (int k = 0; k < frames; ++k) {
        execz80();
        intreq = 1;
    }
}

bool boot_rom(int frames, std::string &error) {
    z80_fresh();
    if (!loadrom_file(BRENVIK_DEFAULT_ROM, error)) return false;
    resetz80();
    run_frames(frames);
    return true;
}
