// Joysticks: a real joystick or gamepad (through Allegro), or the arrow keys
// and Tab, as one of the interfaces 48K games read.
//
// The Kempston interface has five switches read, active high, from port
// 0x1F. The Sinclair joysticks (Interface 2) and the cursor joystick have no
// port of their own: each switch presses a key of the keyboard matrix, so
// their state joins the keyboard scan. The pad map puts any direction or
// button on any Spectrum key instead, so a game can also be started and
// played from the pad alone. The state is taken once a frame.
#pragma once

#include <cstdint>
#include <string>

#include "keys/keys.h"
#include "options/options.h"

// The port's low byte and its bits.
constexpr uint8_t kempston_port = 0x1F;
constexpr uint8_t kempston_right = 0x01;
constexpr uint8_t kempston_left = 0x02;
constexpr uint8_t kempston_down = 0x04;
constexpr uint8_t kempston_up = 0x08;
constexpr uint8_t kempston_fire = 0x10;

// A pad's inputs as one word: the four directions in the Kempston bits 0..3,
// then button n (1 = fire, 2, 3 ...) at bit 3 + n.
constexpr int pad_buttons = 12;
constexpr int pad_inputs = 4 + pad_buttons;
constexpr uint32_t pad_button(int n) { return uint32_t(1) << (3 + n); }

// What an IN from port 0x1F yields: the switches as last polled.
extern uint8_t kempston;

// Spectrum keys for each pad input: no_matrix_key leaves that input to the
// joystick type.
struct pad_map {
    matrix_key keys[pad_inputs];
};
constexpr pad_map no_keys_for_pad() {
    pad_map m{};
    for (matrix_key &k : m.keys) k = no_matrix_key;
    return m;
}
constexpr pad_map empty_pad_map = no_keys_for_pad();

// Reads "up=Q,down=A,fire=M,button2=ENTER" (inputs up, down, left, right,
// fire, button2 .. button12; keys A..Z, 0..9, ENTER, SPACE, CAPS, SYMBOL, in
// any case) into out. False with why set (one sentence) when anything in
// it is wrong; out is then unchanged.
bool parse_pad_map(const std::string &text, pad_map &out, std::string &why);

// Chooses what drives the joystick and the pad map. Every type but keys and
// none asks the driver for a joystick (Allegro must be up); without one the
// arrow keys and Tab drive the Sinclair and cursor types, and the Kempston
// port keeps reading 0.
void start_joystick(joystick_mode mode, const pad_map &map = empty_pad_map);
// Reads the switches into kempston and the matrix keys; called once a frame
// by the main loop.
void poll_kempston();
// The matrix keys the joystick holds in half-row h (active high bits).
int joystick_row(int h);
// True for a host key that the joystick takes over from the Spectrum's
// keyboard: the arrow keys and Tab while they stand in for the joystick.
bool joystick_owns_key(int host_key);

// The driver calls start_joystick and poll_kempston make: Allegro's joystick
// driver by default; tests replace them with a fake stick.
// find_sticks installs the driver and says how many sticks it found;
// read_stick polls the first one and returns its inputs as a pad word.
extern int (*find_sticks)();
extern uint32_t (*read_stick)();
