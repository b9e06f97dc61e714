// The functions the table of actions names are the program's own (src/main).
// A test that links the table without them gets these, which do nothing; a
// test that defines one itself keeps its own (these are weak).
#include "actions/actions.h"

#define STUB(name) __attribute__((weak)) void name(int) {}
#define STATE(name) __attribute__((weak)) bool name() { return false; }
STUB(action_quit)
STUB(action_open)
STUB(action_save)
STUB(action_screenshot)
STUB(action_pause)
STUB(action_reset)
STUB(action_power_saving)
STUB(action_tape_play)
STUB(action_tape_rewind)
STUB(action_tape_record)
STUB(action_tape_write)
STUB(action_fast_loading)
STUB(action_fullscreen)
STUB(action_scale)
STUB(action_scale_step)
STUB(action_changed_squares)
STUB(action_fine_dither)
STUB(action_frame_rate)
STUB(action_sound)
STUB(action_menu)
STATE(is_paused)
STATE(is_power_saving)
STATE(is_fast_loading)
STATE(is_recording)
STATE(is_fullscreen)
STATE(is_changed_squares)
STATE(is_fine_dither)
STATE(is_frame_rate_shown)
STATE(is_sound_on)
