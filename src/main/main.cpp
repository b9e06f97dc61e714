// Program entry: brings the machine up in its fixed order and runs the main
// loop until the user quits.
#include <allegro.h>

#include <cstdio>
#include <string>

#include "keys/keys.h"
#include "log/log.h"
#include "main/chooser.h"
#include "main/shell.h"
#include "options/options.h"
#include "screen/screen.h"
#include "ula/ula.h"
#include "z80/z80.h"

int main(int argc, char *argv[]) {
    std::string text;
    switch (parse_options(argc, argv, options, text)) {
    case parse_outcome::done:
        std::fputs(text.c_str(), stdout);
        return 0;
    case parse_outcome::bad:
        std::fputs(text.c_str(), stderr);
        return 2;
    case parse_outcome::run:
        break;
    }
    soundon = 1;
    initz80();
    if (!loadroms()) return 1;
    resetz80();
    if (!initula()) return 1;
    install_keyboard();
    install_key_replay();
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
    if (!options.file.empty()) {
        load_snapshot_path(options.file.c_str());
        fill_dsquares();
        tick.pending = 0;
    }

    while (!emulator.quit) run_pass();

    close_log();
    return exit_status;
}
END_OF_MAIN()
