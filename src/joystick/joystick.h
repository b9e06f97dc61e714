// The Kempston joystick interface: five switches read, active high, from
// port 0x1F. Its state is taken once a frame from a real joystick or gamepad
// (through Allegro's joystick driver) or, in keys mode, from the arrow keys
// and Tab; with no joystick, or no interface, the port reads 0.
#pragma once

#include <cstdint>

#include "options/options.h"

// The port's low byte and its bits.
constexpr uint8_t kempston_port = 0x1F;
constexpr uint8_t kempston_right = 0x01;
constexpr uint8_t kempston_left = 0x02;
constexpr uint8_t kempston_down = 0x04;
constexpr uint8_t kempston_up = 0x08;
constexpr uint8_t kempston_fire = 0x10;

// What an IN from port 0x1F yields: the switches as last polled.
extern uint8_t kempston;

// Chooses what drives the interface. In kempston mode it asks the driver for
// a joystick (Allegro must be up); none found, the port keeps reading 0.
void start_joystick(joystick_mode mode);
// Reads the switches into kempston; called once a frame by the main loop.
void poll_kempston();
// True for a host key that the joystick takes over from the Spectrum's
// keyboard: the arrow keys in keys mode.
bool joystick_owns_key(int host_key);

// The driver calls start_joystick and poll_kempston make: Allegro's joystick
// driver by default; tests replace them with a fake stick.
// find_sticks installs the driver and says how many sticks it found;
// read_stick polls the first one and returns its switches as port bits.
extern int (*find_sticks)();
extern uint8_t (*read_stick)();
