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


start_machine stalls

# When the program's input thread itself is held up after SIGCONT, a key
# event can reach it late, which no time stamp taken in the program can see;
# so each stall case may take up to three tries, each with a digit of its own,
# and the tries it took are noted.
tries_until() {  # what case digit...
    local what=$1 case=$2 d
    shift 2
    for d in "$@"; do
        if [ "$($case "$d")" = 1 ]; then
            note "$what: typed once (digit $d)"
            return 0
        fi
        note "$what: digit $d typed $(count_of "$d") times; trying again"
    done
    fail_showing "$what: never typed exactly once"
}

# Pressed 0.2 s before the end of a 1 s stall and held 0.3 s in all: the ROM
# must see it held about 0.1 to 0.3 s, well below its repeat delay: one digit.
late_press() {  # digit
    stall
    sleep 0.8
    xdotool keydown "$1"
    sleep 0.2
    resume
    sleep 0.1
    xdotool keyup "$1"
    count_of "$1"
}
tries_until "a key pressed late in a stall and held 0.3 s" late_press 2 6 7

# Pressed and let go inside a stall: it arrives, once.
inside_press() {  # digit
    stall
    sleep 0.3
    xdotool keydown "$1"
    sleep 0.1
    xdotool keyup "$1"
    sleep 0.6
    resume
    count_of "$1"
}
tries_until "a key pressed and let go inside a stall" inside_press 3 8 9

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
