// Display modes, FLASH and dirty squares (placeholder until the machine shell lands).
#include "ula/ula.h"

#include "screen/screen.h"

const int fullscreen_width[6] = {0, 640, 640, 800, 1024, 1280};
const int fullscreen_height[6] = {0, 480, 480, 600, 768, 1024};
int (*set_mode)(int, int, int, int, int) = set_gfx_mode;

bool initula() { return false; }
bool updatemode(int, int) { return false; }
void flashint() { flashon ^= 1; }
void clear_dsquares() {
    for (auto &s : dsquare) s = 0;
}
void fill_dsquares() {
    for (auto &s : dsquare) s = 1;
}
