#!/bin/bash
# Holding F12 keeps the machine in reset (memory cleared: a black picture);
# let go, the ROM starts again and comes back to its start-up screen.
source "$(dirname "$0")/support/session.bash"
e2e_own_x_server "$@"
e2e_workdir

expected_picture 300 1 boot.png
convert -size 256x192 xc:black black.png
start_brenvik
wait_for_picture boot.png 10 "start-up screen"

find_window
xdotool windowfocus --sync "$WID"
xdotool keydown F12
sleep 0.5
wait_for_picture black.png 3 "while F12 is held"
note "F12 held: memory cleared, black picture"
sleep 0.5
wait_for_picture black.png 1 "still while F12 is held"
xdotool keyup F12

wait_for_picture boot.png 10 "after F12 is let go"
note "the ROM started again"

press Escape
expect_exit 0 5
