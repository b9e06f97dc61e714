// The Kempston joystick: a real stick through Allegro, or the arrow keys.
#include "joystick/joystick.h"

#include <allegro.h>

#include <algorithm>
#include <iterator>

uint8_t kempston;

namespace {

joystick_mode mode = joystick_mode::kempston;
bool stick_present = false;

int allegro_find_sticks() {
    if (install_joystick(JOY_TYPE_AUTODETECT) != 0) return 0;
    return num_joysticks;
}

// The first stick's two axes as digital directions, and any button as fire.
uint8_t allegro_read_stick() {
    poll_joystick();
    const JOYSTICK_INFO &j = joy[0];
    uint8_t r = 0;
    if (j.num_sticks > 0) {
        const JOYSTICK_STICK_INFO &s = j.stick[0];
        if (s.num_axis > 0 && s.axis[0].d2) r |= kempston_right;
        if (s.num_axis > 0 && s.axis[0].d1) r |= kempston_left;
        if (s.num_axis > 1 && s.axis[1].d2) r |= kempston_down;
        if (s.num_axis > 1 && s.axis[1].d1) r |= kempston_up;
    }
    for (int b = 0; b < j.num_buttons; ++b)
        if (j.button[b].b) r |= kempston_fire;
    return r;
}

// The host keys of keys mode, one per port bit.
struct stick_key {
    int host;
    uint8_t bit;
};
constexpr stick_key stick_keys[] = {
    {KEY_RIGHT, kempston_right}, {KEY_LEFT, kempston_left}, {KEY_DOWN, kempston_down},
    {KEY_UP, kempston_up},       {KEY_TAB, kempston_fire},
};

}  // namespace

int (*find_sticks)() = allegro_find_sticks;
uint8_t (*read_stick)() = allegro_read_stick;

void start_joystick(joystick_mode m) {
    mode = m;
    stick_present = m == joystick_mode::kempston && find_sticks() > 0;
    kempston = 0;
}

void poll_kempston() {
    uint8_t r = 0;
    if (mode == joystick_mode::keys) {
        for (const stick_key &k : stick_keys)
            if (key[k.host]) r |= k.bit;
    } else if (stick_present) {
        r = read_stick();
    }
    kempston = r;
}

bool joystick_owns_key(int host_key) {
    return mode == joystick_mode::keys &&
           std::any_of(std::begin(stick_keys), std::end(stick_keys),
                       [host_key](const stick_key &k) { return k.host == host_key; });
}
