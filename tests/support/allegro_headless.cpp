#include "allegro_headless.h"

#include <allegro.h>

#include <cerrno>
#include <cstdlib>

void allegro_headless() {
    static bool started = false;
    if (started) return;
    install_allegro(SYSTEM_NONE, &errno, atexit);
    set_color_depth(8);
    started = true;
}
