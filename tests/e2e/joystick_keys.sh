#!/bin/bash
# --joystick keys: the arrow keys and Tab are the Kempston joystick on port
# 0x1F and press nothing on the keyboard; without the option the arrows are
# the digits 5 to 8 and the port reads 0. A small program, loaded as a
# snapshot, shows both on the screen as bits.
source "$(dirname "$0")/support/session.bash"
source "$(dirname "$0")/support/keyboard.bash"
e2e_own_x_server "$@"
e2e_workdir

export HOME="$E2E_DIR/home"
mkdir -p "$HOME"
echo 'pcm.!default { type null }' >"$HOME/.asoundrc"

pasmo --bin "$E2E_SUPPORT/kempston_show.asm" show.bin || fail "pasmo could not assemble the program"
/usr/bin/python3 "$E2E_SUPPORT/program_sna.py" show.bin show.sna || fail "could not build the snapshot"

# Holds the keys named until rows 0 to 2 read the bits given, then lets go.
expect_rows_holding() {  # kempston f7fe effe what keys...
    local want="$1 $2 $3" what=$4 k t rows=""
    shift 4
    find_window
    xdotool windowfocus --sync "$WID"
    for k in "$@"; do xdotool keydown "$k"; done
    for ((t = 0; t < 40; t++)); do
        rows=$(screen_lines | sed -n '1,3s/ *$//p' | paste -sd ' ')
        [ "$rows" = "$want" ] && break
        sleep 0.25
    done
    for k in "$@"; do xdotool keyup "$k"; done
    [ "$rows" = "$want" ] || fail_showing "$what: rows 0 to 2 read '$rows', not '$want'"
    note "$what: port 0x1F, keys 1-5 and keys 0-6 read $want"
}

start_brenvik --joystick keys show.sna
expect_rows_holding 00000 11111 11111 "keys mode, nothing held"
expect_rows_holding 11000 11111 11111 "keys mode, up and Tab" Up Tab
expect_rows_holding 00111 11111 11111 "keys mode, down, left and right" Down Left Right
expect_rows_holding 00000 11111 11111 "keys mode, all let go"
press Escape
expect_exit 0 10

start_brenvik show.sna
expect_rows_holding 00000 01111 10111 "default mode, left and up are 5 and 7" Left Up
expect_rows_holding 00000 11111 11111 "default mode, Tab" Tab
press Escape
expect_exit 0 10
