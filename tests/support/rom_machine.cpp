#include "rom_machine.h"

#include <allegro.h>
#include <gtest/gtest.h>

#include "ula/ula.h"
#include "z80/z80.h"
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

void (*run_frame)() = execz80;

void frame_by_steps() {
    for (int line = 0; line < lines_per_frame; ++line) {
        pollline(line);
        cycles += tstates_per_line;
        while (cycles > 0) stepz80();
    }
}

void run_frames(int frames, void (*after_frame)()) {
    for (int k = 0; k < frames; ++k) {
        run_frame();
        intreq = 1;
        if (after_frame) after_frame();
    }
}

bool boot_rom(int frames, std::string &error) {
    z80_fresh();
    if (!loadrom_file(BRENVIK_DEFAULT_ROM, error)) return false;
    resetz80();
    run_frames(frames);
    return true;
}

namespace {

// A host key, optionally with right Control (SYMBOL SHIFT alone) held.
struct stroke {
    int host;
    bool symbol;
};

stroke stroke_for(char ch) {
    if (ch >= 'a' && ch <= 'z') return {KEY_A + (ch - 'a'), false};
    if (ch >= '1' && ch <= '9') return {KEY_1 + (ch - '1'), false};
    switch (ch) {
    case '0': return {KEY_0, false};
    case ' ': return {KEY_SPACE, false};
    case '\n': return {KEY_ENTER, false};
    case '*': return {KEY_B, true};
    case '/': return {KEY_V, true};
    case '.': return {KEY_M, true};
    case '+': return {KEY_K, true};
    case '-': return {KEY_J, true};
    case '=': return {KEY_L, true};
    case ',': return {KEY_N, true};
    case ';': return {KEY_O, true};
    case ':': return {KEY_Z, true};
    case '"': return {KEY_P, true};
    }
    ADD_FAILURE() << "no key for '" << ch << "'";
    return {KEY_SPACE, false};
}

}  // namespace

void type_keys(const std::string &text, void (*after_frame)()) {
    for (char ch : text) {
        const stroke s = stroke_for(ch);
        if (s.symbol) key[KEY_RCONTROL] = 1;
        key[s.host] = 1;
        run_frames(6, after_frame);
        key[s.host] = 0;
        key[KEY_RCONTROL] = 0;
        run_frames(6, after_frame);
    }
}
