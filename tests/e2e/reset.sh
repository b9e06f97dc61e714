#!/bin/bash
# Holding F12 resets the machine: once it is let go the ROM starts again and
# comes back to its start-up screen, whatever was on the screen before.
source "$(dirname "$0")/support/session.bash"
e2e_own_x_server "$@"
e2e_workdir

expected_picture 300 1 boot.png
start_brenvik
wait_for_picture boot.png 10 "start-up screen"

# A key makes the ROM leave its start-up screen for the editor.
press a
changed=""
for i in $(seq 20); do
    capture typed.png
    [ "$(differing_pixels boot.png typed.png)" != "0" ] && changed=1 && break
    sleep 0.1
done
[ -n "$changed" ] || fail "a key press did not change the picture"
note "a key press changed the picture"

find_window
xdotool windowfocus --sync "$WID"
xdotool keydown F12
sleep 0.5
xdotool keyup F12

wait_for_picture boot.png 10 "after F12 is let go"
note "F12 restarted the ROM: the start-up screen is back"

press Escape
expect_exit 0 5
