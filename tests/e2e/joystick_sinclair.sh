#!/bin/bash
# --joystick sinclair1 with no gamepad: the arrow keys and Tab are Sinclair
# joystick 1, the keys 6 7 8 9 0 (left right down up fire). A small program
# that reads those keys moves a '*' one cell per press; its place on the
# screen, read back as text, shows each move.
source "$(dirname "$0")/support/session.bash"
source "$(dirname "$0")/support/keyboard.bash"
typing_session "$@"

pasmo --bin "$E2E_SUPPORT/sinclair_cursor.asm" cursor.bin || fail "pasmo could not assemble the program"
/usr/bin/python3 "$E2E_SUPPORT/program_sna.py" cursor.bin cursor.sna || fail "could not build the snapshot"

# Waits until the cursor character stands at row, column.
expect_cursor() {  # char row column what
    local t text where=""
    for ((t = 0; t < 40; t++)); do
        text=$(screen_lines)
        where=$(awk -v c="$1" '{ i = index($0, c); if (i) { print NR - 1, i - 1; exit } }' <<<"$text")
        [ "$where" = "$2 $3" ] && break
        sleep 0.25
    done
    [ "$where" = "$2 $3" ] || fail_showing "$4: '$1' is at '$where', not '$2 $3'"
    note "$4: '$1' at row $2, column $3"
}

start_brenvik --joystick sinclair1 cursor.sna
xdotool windowfocus --sync "$WID"
expect_cursor '*' 10 16 "at the start"
tap Right
expect_cursor '*' 10 17 "right (7)"
tap Right
expect_cursor '*' 10 18 "right again"
tap Up
expect_cursor '*' 9 18 "up (9)"
tap Left
expect_cursor '*' 9 17 "left (6)"
tap Down
tap Down
expect_cursor '*' 11 17 "down twice (8)"
tap Tab
expect_cursor '#' 11 17 "fire (0)"
press Escape
expect_exit 0 10
