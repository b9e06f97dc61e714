#!/bin/bash
# Types BASIC lines into the running emulator as a user would, one held key
# at a time, and reads the line and the answer off the window with the ROM's
# own character set.
source "$(dirname "$0")/support/session.bash"
source "$(dirname "$0")/support/keyboard.bash"
typing_session "$@"

CONTROL_R=$(keycode Control_R)
ALT_R=$(keycode Alt_R)
SHIFT_R=$(keycode Shift_R)

# The editor line must read $1 followed by the cursor.
expect_edit_line() {  # pattern
    local text
    text=$(screen_lines)
    grep -Eq -- "^$1.\$" <<<"$text" || fail_showing "the editor line does not read '$1' and the cursor"
}

# Each case: a fresh machine, the keys typed by the function named, Enter;
# the first screen row must then match the answer (an extended regular
# expression for the whole row).
run_case() {  # function answer what
    start_machine "$1"
    "$1"
    tap Return
    wait_for_line "^$2\$" 5 || fail_showing "$3: no row reads '$2'"
    local text first
    text=$(screen_lines)
    first=$(sed -n 1p <<<"$text")
    grep -Eq -- "^$2\$" <<<"$first" || fail_showing "$3: the first row reads '$first', not '$2'"
    stop_machine
    note "$3"
}

# Right Control is SYMBOL SHIFT alone: with K it is the plus sign.
plus_with_right_control() {
    type_text "print 2"
    chord "$CONTROL_R" k
    type_text "2"
    expect_edit_line 'print 2\+2'
}

# Both Alt keys are SYMBOL SHIFT alone: with J they are the minus sign.
minus_with_alt_keys() {
    type_text "print 9"
    chord Alt_L j
    type_text "3"
    chord "$ALT_R" j
    type_text "1"
    expect_edit_line 'print 9-3-1'
}

# Both Shift keys are CAPS SHIFT; SYMBOL SHIFT with P is the quote.
capitals_with_both_shifts() {
    type_text "print "
    chord "$CONTROL_R" p
    type_text "a"
    chord Shift_L b
    chord "$SHIFT_R" c
    chord "$CONTROL_R" p
    expect_edit_line 'print "aBC"'
}

# The cursor keys press the bare digits 5 to 8.
cursor_keys_are_digits() {
    type_text "print "
    tap Left
    tap Down
    tap Up
    tap Right
    expect_edit_line 'print 5678'
}

# Backspace is DELETE (CAPS SHIFT with 0).
backspace_deletes() {
    type_text "print 123"
    tap BackSpace
    tap BackSpace
    expect_edit_line 'print 1'
    type_text "9"
    expect_edit_line 'print 19'
}

# Left Control is SYMBOL SHIFT and 0 at once: alone it types SYMBOL SHIFT
# with 0, the underscore. Held before K, as a person holds a shift, it types
# the underscore again and then, with K down as well, three keys: the ROM
# takes none of them, so no plus sign appears.
left_control() {
    type_text "print "
    chord "$CONTROL_R" p
    tap Control_L
    expect_edit_line 'print "_'
    chord Control_L k
    chord "$CONTROL_R" p
    expect_edit_line 'print "_+"'
}

run_case plus_with_right_control 4 "plus typed with right Control"
run_case minus_with_alt_keys 5 "minus typed with both Alt keys"
run_case capitals_with_both_shifts aBC "capitals typed with both Shift keys"
run_case cursor_keys_are_digits 5678 "the cursor keys type 5 to 8"
run_case backspace_deletes 19 "Backspace deletes"
run_case left_control '_+' "left Control types SYMBOL SHIFT with 0, and no plus with K"
