// Program entry: brings the machine up in its fixed order and runs the main
// loop until the user quits.
#include <allegro.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "actions/actions.h"
#include "beam/beam.h"
#include "beeper/beeper.h"
#include "joystick/joystick.h"
#include "keys/keys.h"
#include "log/log.h"
#include "main/chooser.h"
#include "main/saver.h"
#include "main/deck.h"
#include "main/menu.h"
#include "main/paste.h"
#include "main/pokes.h"
#include "main/shell.h"
#include "main/window_icon.h"
#include "options/options.h"
#include "platform/drop.h"
#include "platform/stop.h"
#include "picture/picture.h"
#include "screen/screen.h"
#include "settings/settings.h"
#include "state/state.h"
#include "tape/tape.h"
#include "ula/ula.h"
#include "z80/z80.h"

namespace {

// Writes back into the settings file what the user changed while the program
// ran (F4, F5-F9, F10, Scroll Lock ...), so the next start looks as this one ended.
void keep_changed_settings(const program_options &started) {
    program_options now = started;
    now.scale = display.scale;
    now.fullscreen = is_fullscreen();
    now.sound = soundon;
    now.power_save = power_saving;
    now.fast_load = is_fast_loading();
    std::string reason;
    if (!save_settings(changed_settings(started, now), reason))
        std::fprintf(stderr, "brenvik: the settings were not written to %s: %s\n", settings_path().c_str(),
                     reason.c_str());
}

}  // namespace

int main(int argc, char *argv[]) {
    std::string text;
    program_options command_line;
    switch (parse_options(argc, argv, command_line, text)) {
    case parse_outcome::done:
        std::fputs(text.c_str(), stdout);
        return 0;
    case parse_outcome::bad:
        std::fputs(text.c_str(), stderr);
        return 2;
    case parse_outcome::run:
        break;
    }
    // The settings file lies under the command line, which overrides it.
    program_options kept;
    keeping_settings = !command_line.no_config;
    if (keeping_settings) load_settings(kept);
    parse_options(argc, argv, options, text, kept);
    if (!check_save_on_exit()) return 2;
    // Messages go to standard error; when that is a pipe nobody reads any
    // more (brenvik 2>&1 | head), a message must not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    soundon = options.sound ? 1 : 0;
    // Both before the first window, whose size depends on the border.
    border_shown = options.border ? 1 : 0;
    floating_bus = options.floating_bus ? 1 : 0;
    hifi_sound = options.sound_mode == sound_kind::hifi;
    initz80();
    if (!(options.rom.empty() ? loadroms() : loadrom_given(options.rom))) return 1;
    resetz80();
    set_window_icon();
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
    // From here on SIGTERM, SIGINT and SIGHUP end the program through the
    // main loop, not inside Allegro's own handlers.
    install_stop_handlers();
    // A hot key held down does not keep a stop signal waiting for its release.
    hotkey_wait = [] {
        rest(1);
        return !stop_requested();
    };
    open_log("Logfile.txt");
    write_to_log("Setup.");
    set_start_mode(options.scale, options.fullscreen ? 1 : 0);
    start_drop_target();
    // The right mouse button opens the menu; the pointer stays the desktop's.
    if (install_mouse() >= 0) {
        show_os_cursor(MOUSE_CURSOR_ARROW);
        watch_right_button();
    }
    // What the settings were once the machine stood, to see what the user changes.
    program_options started = options;
    started.scale = display.scale;
    started.fullscreen = display.fullscreen;
    started.sound = soundon;
    started.power_save = options.power_save;
    pad_map map = empty_pad_map;
    std::string why;  // the parser has checked the map already
    if (!options.pad_map.empty()) parse_pad_map(options.pad_map, map, why);
    start_joystick(options.joystick, map);

    tape_auto_play = options.tape_auto_play;
    set_fast_loading(options.fast_load);
    // Under --screenshot nobody answers a message box: the file is loaded
    // without one, a tape loaded to its end, and a refused file ends the run.
    if (!options.screenshot.empty() && !options.file.empty()) {
        if (!load_path_unattended(options.file)) {
            close_log();
            return 1;
        }
        fill_dsquares();
    } else if (!options.file.empty()) {
        // A snapshot or tape named on the command line is loaded as if chosen with F1.
        load_snapshot_path(options.file.c_str());
        fill_dsquares();
        tick.pending = 0;
    }
    if (!start_pokes()) return 2;
    if (!options.type.empty()) type_given_text();

    if (!options.screenshot.empty()) {
        exit_status = screenshot_after_frames(options.screenshot, options.frames);
        close_log();
        return exit_status;
    }
    power_saving = options.power_save;
    set_history_length(options.rewind);
    while (!emulator.quit && !stop_requested()) {
        run_pass();
        // An unsaved tape recording is not thrown away without asking.
        if (emulator.quit && !stop_requested() && !may_quit()) emulator.quit = 0;
    }
    // However the loop ended, the machine is saved when that was asked for;
    // a snapshot that could not be written makes the status 1.
    if (!save_on_exit() && exit_status == 0) exit_status = 1;
    if (keeping_settings) keep_changed_settings(started);

    close_log();
    if (stop_requested()) {
        allegro_exit();
        end_for_stop_request();
    }
    return exit_status;
}
END_OF_MAIN()
