#!/bin/bash
# The program starts in a 256 x 192 window showing the ROM's start-up screen
# exactly, says so in the log, shows its redraw rate in the title until the
# keypad slash hides it, and ends with status 0 on Escape.
source "$(dirname "$0")/support/session.bash"
e2e_own_x_server "$@"
e2e_workdir

expected_picture 300 1 boot.png
start_brenvik
started=$(date +%s.%N)

# The title shows the rate within two seconds of the window appearing.
until title | grep -Eq '^Brenvik : [0-9]+ fps$'; do
    awk -v s="$started" -v n="$(date +%s.%N)" 'BEGIN { exit !(n - s > 2.0) }' &&
        fail "the title is \"$(title)\" after two seconds"
    sleep 0.05
done
note "title \"$(title)\""

[ "$(window_size)" = "256x192" ] || fail "the window is $(window_size), not 256x192"
note "window 256x192"

wait_for_picture boot.png 10 "start-up screen at scale 1"
note "the window shows the decoded screen memory pixel for pixel"

[ "$(cat Logfile.txt)" = "Setup." ] || fail "the log does not hold just \"Setup.\""
note "log holds Setup."

press KP_Divide
for i in $(seq 30); do
    [ "$(title)" = "Brenvik" ] && break
    sleep 0.1
done
[ "$(title)" = "Brenvik" ] || fail "the title is \"$(title)\" after the keypad slash"
note "keypad slash hides the rate"

press Escape
expect_exit 0 5
note "Escape ends the program with status 0"
