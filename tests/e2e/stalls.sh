#!/bin/bash
# Keys pressed while the program stands still. SIGSTOP and SIGCONT stall the
# real program as a busy desktop does; the frames owed for the stall then run
# back to back, and each must see the keys as they stood at its own moment.
# The ROM takes a held key once and repeats it after its repeat delay, so the
# number of digits typed tells how long the emulated machine saw the key held.
source "$(dirname "$0")/support/session.bash"
source "$(dirname "$0")/support/keyboard.bash"
typing_session "$@"

# Resumes a stopped program whatever happens, so the session can end.
trap 'kill -CONT "${BRENVIK_PID:-0}" 2>/dev/null || true; e2e_cleanup' EXIT

stall() { kill -STOP "$BRENVIK_PID"; }
resume() { kill -CONT "$BRENVIK_PID"; }

# How many times the digit shows on the screen (outside the copyright row),
# once the editor has settled.
count_of() {  # digit
    sleep 0.6
    screen_lines | grep -v 'Nine Tiles' | tr -cd "$1" | wc -c
}

expect_count() {  # digit count what
    local n
    n=$(count_of "$1")
    [ "$n" = "$2" ] || fail_showing "$3: $n times '$1', not $2"
    note "$3: '$1' typed $2 time(s)"
}

start_machine stalls

# Pressed 0.2 s before the end of a 1 s stall and held 0.3 s in all: the ROM
# must see it held about 0.1 to 0.3 s, well below its repeat delay: one digit.
stall
sleep 0.8
xdotool keydown 2
sleep 0.2
resume
sleep 0.1
xdotool keyup 2
expect_count 2 1 "a key pressed late in a stall and held 0.3 s"

# Pressed and let go inside a stall: it arrives, once.
stall
sleep 0.3
xdotool keydown 3
sleep 0.1
xdotool keyup 3
sleep 0.6
resume
expect_count 3 1 "a key pressed and let go inside a stall"

# Held 1.2 s on a quiet machine, and held 1.2 s across a 1 s stall: the ROM's
# own repeat gives the same number of digits, give or take the few frames the
# key events of this script may be late by.
xdotool keydown 4
sleep 1.2
xdotool keyup 4
quiet=$(count_of 4)
[ "$quiet" -gt 3 ] || fail_showing "a key held 1.2 s gave $quiet digits: no repeat"
xdotool keydown 5
sleep 0.1
stall
sleep 1.0
resume
sleep 0.1
xdotool keyup 5
stalled=$(count_of 5)
diff=$(( stalled > quiet ? stalled - quiet : quiet - stalled ))
[ "$diff" -le 3 ] || fail_showing "held 1.2 s across a stall: $stalled digits, on a quiet machine $quiet"
note "a key held 1.2 s repeats as on a quiet machine ($stalled digits across a stall, $quiet without)"

stop_machine
