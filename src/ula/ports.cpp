// The ULA port: the keyboard matrix behind every even port, and the byte the
// processor last wrote there (border, MIC and EAR).
//
// The Spectrum's 40 keys sit on an 8 x 5 matrix. An IN from an even port
// drives the address lines A8..A15 onto the eight half-rows: a half-row whose
// line is low is selected, and each of its five keys pulls its data bit low
// while held. Several half-rows may be selected at once.
#include "ula/ula.h"

#include "beam/beam.h"
#include "beeper/beeper.h"
#include "joystick/joystick.h"
#include "tape/tape.h"
#include "keys/keys.h"
#include "z80/z80.h"

namespace {

// A host key that presses one further Spectrum key, beside the keys table.
struct extra_key {
    int host;       // Allegro KEY_ code
    int half_row;   // 0..7
    int bit;        // 0..4
};

// Arrow keys press the bare digits 5 to 8 (the cursor joystick) and left
// Control presses 0 as well as SYMBOL SHIFT (the joystick's fire button).
// Because of that, left Control with a letter is three keys and the ROM reads
// none of them; right Control and both Alt keys are therefore a SYMBOL SHIFT
// of their own. Right Shift is a second CAPS SHIFT, and Backspace is CAPS
// SHIFT with 0, the Spectrum's DELETE. With the joystick in keys mode the
// arrow keys drive the Kempston port instead and press nothing here.
constexpr extra_key extras[] = {
    {KEY_LEFT, 3, 4},      // 5
    {KEY_DOWN, 4, 4},      // 6
    {KEY_UP, 4, 3},        // 7
    {KEY_RIGHT, 4, 2},     // 8
    {KEY_LCONTROL, 4, 0},  // 0
    {KEY_RCONTROL, 7, 1},  // SYMBOL SHIFT
    {KEY_ALT, 7, 1},       // SYMBOL SHIFT
    {KEY_ALTGR, 7, 1},     // SYMBOL SHIFT
    {KEY_RSHIFT, 0, 0},    // CAPS SHIFT
    {KEY_BACKSPACE, 0, 0}, // CAPS SHIFT ...
    {KEY_BACKSPACE, 4, 0}, // ... and 0: DELETE
};

bool down(int code) { return host_key_down(code); }

}  // namespace

// Half-row h, bit b: selected by A(8 + h) low, read on data line b.
constexpr int keys[8][5] = {
    {KEY_LSHIFT, KEY_Z, KEY_X, KEY_C, KEY_V},          // 0xFEFE: CAPS SHIFT Z X C V
    {KEY_A, KEY_S, KEY_D, KEY_F, KEY_G},               // 0xFDFE
    {KEY_Q, KEY_W, KEY_E, KEY_R, KEY_T},               // 0xFBFE
    {KEY_1, KEY_2, KEY_3, KEY_4, KEY_5},               // 0xF7FE
    {KEY_0, KEY_9, KEY_8, KEY_7, KEY_6},               // 0xEFFE
    {KEY_P, KEY_O, KEY_I, KEY_U, KEY_Y},               // 0xDFFE
    {KEY_ENTER, KEY_L, KEY_K, KEY_J, KEY_H},           // 0xBFFE: ENTER L K J H
    {KEY_SPACE, KEY_LCONTROL, KEY_M, KEY_N, KEY_B},    // 0x7FFE: SPACE SYMBOL SHIFT M N B
};

uint8_t uladat;

int scan(int h) {
    int r = 0;
    for (int b = 0; b < 5; ++b)
        if (down(keys[h][b])) r |= 1 << b;
    for (const extra_key &e : extras)
        if (e.half_row == h && down(e.host) && !joystick_owns_key(e.host)) r |= 1 << e.bit;
    return r | character_row(h) | joystick_row(h);
}

int readula(uint16_t port) {
    int r = 0x1F;  // no key down; bits 5 and 7 read 0, bit 6 is the tape's EAR level
    for (int h = 0; h < 8; ++h)
        if (!(port & (0x100 << h))) r &= ~(scan(h) | typed_keys[h]);
    if (!deck.tape.spans.empty()) r |= tape_ear(r) << 6;
    return r;
}

void writeula(uint8_t value) {
    if (tape_recording && ((value ^ uladat) & 0x08)) tape_mic_edge();
    border_write(value);
    // The hifi sound times each change of EAR or MIC to the T-state.
    if (hifi_sound && ((value ^ uladat) & 0x18)) beeper_record(line_clock - cycles, value);
    uladat = value;
}
