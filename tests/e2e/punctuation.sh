#!/bin/bash
# Types a BASIC line with punctuation as the host's own keys give it, the way
# xdotool types each character on the layout in use (Shift and AltGr included),
# on the US layout and on the German one, where the same characters sit on
# other keys and other shift levels.
source "$(dirname "$0")/support/session.bash"
source "$(dirname "$0")/support/keyboard.bash"
typing_session "$@"

LINE='print "a";2*3,4/2'

# The layout is set before the program starts: Allegro reads the keyboard
# map when it installs the keyboard.
typed_on_layout() {  # layout
    setxkbmap "$1" || fail "setxkbmap $1 failed"
    start_machine "$1"
    type_characters "$LINE"
    wait_for_line "^print \"a\";2\\*3,4/2.\$" 5 || fail_showing "$1: the editor line does not read '$LINE'"
    tap Return
    wait_for_line '^a6 +2$' 5 || fail_showing "$1: no row reads 'a6' and '2' at the next print zone"
    stop_machine
    note "'$LINE' typed on the $1 layout"
}

typed_on_layout us
typed_on_layout de
setxkbmap us
