#!/bin/bash
# --type: a two-line BASIC listing typed once the ROM is ready, line breaks
# as ENTER and the quotes and symbols through SYMBOL SHIFT, gives a program
# that LIST shows exactly; a character the Spectrum has not is named once
# and left out. Pressing a key stops the typing at once.
source "$(dirname "$0")/support/session.bash"
source "$(dirname "$0")/support/keyboard.bash"
typing_session "$@"

# The program and the window, in a directory of its own.
start_typed() {  # name option...
    mkdir -p "$E2E_DIR/$1"
    cd "$E2E_DIR/$1"
    shift
    start_brenvik "$@"
    xdotool windowfocus --sync "$WID"
}

# LIST right-aligns the line numbers.
listing=$'10 PRINT "sum: ";2+3*(4-1)\n20 GOTO 10'
start_typed listed --type "$listing"$'\nlist\n'
wait_for_line '^ *20 ' 60 || fail_showing "the program was not typed"
text=$(screen_lines | sed -E 's/^ +//; s/ +$//' | grep -E '^(10|20) ' || true)
[ "$text" = "$listing" ] || fail_showing "LIST shows '$text', not '$listing'"
note "LIST shows the typed program exactly"
stop_machine

start_typed odd --type $'10 rem caf\u00e9 \u00e9\n'
wait_for_line '^ *10 ' 60 || fail_showing "the line was not typed"
[ "$(grep -c 'cannot be typed on the Spectrum and were left out: é$' "$E2E_DIR/brenvik.out")" = 1 ] ||
    fail "the character left out was not named exactly once"
note "a character the Spectrum has not is named once"
stop_machine

# A text far too long to be typed in the time the test takes, stopped by a
# key: the rest is not typed.
start_typed stopped --type "10 rem $(printf 'a%.0s' $(seq 6000))"
wait_for_line '^10 rem a' 60 || fail_showing "the typing did not start"
tap space
sleep 2
before=$(screen_lines)
sleep 2
[ "$(screen_lines)" = "$before" ] || fail_showing "the typing went on after a key was pressed"
note "a key stops the typing"
stop_machine
