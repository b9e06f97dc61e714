#!/bin/bash
# The window's close button ends the program with status 0, and a program
# started without any display says why and ends with a failure.
source "$(dirname "$0")/support/session.bash"
e2e_own_x_server "$@"
e2e_workdir

start_brenvik
sleep 0.5
close_window
expect_exit 0 5
note "the close button ends the program with status 0"

status=0
env -u DISPLAY "$BRENVIK" >nodisplay.out 2>&1 </dev/null || status=$?
[ "$status" != 0 ] || fail "without a display the program ended with status 0"
grep -q "no display could be opened" nodisplay.out || fail "without a display the program did not say why"
[ ! -e Logfile.txt ] || [ "$(cat Logfile.txt)" = "Setup." ] || fail "unexpected log"
note "without a display: status $status and a message"
