// A display for tests without X: a mode setter that accepts only the modes a
// test allows and puts a memory bitmap of the mode's size in place of the
// screen, and buffers for the renderer.
#pragma once

#include <allegro.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

struct mode_call {
    bool fullscreen;
    int w, h;
    bool operator==(const mode_call &o) const {
        return std::tie(fullscreen, w, h) == std::tie(o.fullscreen, o.w, o.h);
    }
};
std::string to_string(const mode_call &c);

// Modes the fake accepts, and every call it received in order.
extern std::set<std::tuple<bool, int, int>> accepted_modes;
extern std::vector<mode_call> mode_calls;

// The mode setter: like set_gfx_mode it gives up the current mode first, so
// a refused mode leaves no screen.
int fake_set_mode(int card, int w, int h, int v_w, int v_h);

// Starts Allegro headless, creates the two picture buffers once, installs the
// fake mode setter with nothing accepted, and makes a memory screen of w x h
// (none when w is 0) with no graphics driver.
void fake_display(int w, int h);

// A graphics driver that only reports a size, for the renderer's centring.
void fake_driver(int w, int h);
void no_driver();
