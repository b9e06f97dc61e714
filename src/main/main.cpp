// Program entry: brings the machine up in its fixed order and runs the main
// loop until the user quits.
#include <allegro.h>

#include "log/log.h"
#include "main/chooser.h"
#include "main/shell.h"
#include "screen/screen.h"
#include "ula/ula.h"
#include "z80/z80.h"

int main(int argc, char *argv[]) {
    soundon = 1;
    initz80();
    if (!loadroms()) return 1;
    resetz80();
    if (!initula()) return 1;
    install_keyboard();
    build_dsquare_table();
    clear_dsquares();
    display.use_dsquares = 1;
    display.show_fps = 1;
    display.fine_dither = 1;
    emulator.quit = 0;
    set_close_button_callback(closed_window);
    setup_tick();
    install_int_ex(ticky, frame_timer_period);
    open_log("Logfile.txt");
    write_to_log("Setup.");

    // A snapshot named on the command line is loaded as if chosen with F1.
    if (argc > 1) {
        load_snapshot_path(argv[1]);
        fill_dsquares();
        tick.pending = 0;
    }

    while (!emulator.quit) run_pass();

    close_log();
    return exit_status;
}
END_OF_MAIN()
