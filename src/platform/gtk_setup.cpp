// GTK runs beside Allegro in the same process, with its own connection to
// the display.
#include "platform/gtk_setup.h"

#include <gtk/gtk.h>

#include <cstdio>

bool gtk_ready() {
    static int state = -1;
    if (state < 0) {
        state = gtk_init_check(nullptr, nullptr) ? 1 : 0;
        if (!state) std::fprintf(stderr, "brenvik: GTK cannot open the display; no dialogs can be shown.\n");
    }
    return state == 1;
}

void settle_gtk() {
    while (gtk_events_pending()) gtk_main_iteration();
}
