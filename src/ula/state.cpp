// Display and sound state shared by the ULA parts, the main loop and the timers.
#include "ula/ula.h"

display_settings display;
BITMAP *emulated_screen;
BITMAP *scaled_buffer;
std::atomic<int32_t> flashon{0};
int soundon;
AUDIOSTREAM *as;
