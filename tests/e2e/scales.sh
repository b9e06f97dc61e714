#!/bin/bash
# F6..F9 enlarge the window to 512 x 384 ... 1280 x 960 with the enlarged
# start-up picture, F5 goes back to 256 x 192, and the log names every size
# tried, one line each.
source "$(dirname "$0")/support/session.bash"
e2e_own_x_server "$@"
e2e_workdir

for s in 1 2 3 4 5; do expected_picture 300 "$s" "boot$s.png"; done
start_brenvik
wait_for_picture boot1.png 10 "start-up screen at scale 1"

keys=(F6 F7 F8 F9)
for s in 2 3 4 5; do
    press "${keys[s - 2]}"
    wait_for_size "$((256 * s))x$((192 * s))"
    wait_for_picture "boot$s.png" 5 "start-up screen at scale $s"
    note "scale $s: window $((256 * s))x$((192 * s)) with the enlarged picture"
done

# The enlarged pictures are smoothed, not plain blocks.
convert boot1.png -filter point -resize 300% plain3.png
[ "$(differing_pixels boot3.png plain3.png)" != "0" ] || fail "scale 3 shows plain blocks"

# The same scale again changes nothing and logs nothing.
press F9
sleep 0.5
press F5
wait_for_size 256x192
wait_for_picture boot1.png 5 "back at scale 1"
note "F5 goes back to 256x192"

cat >expected.log <<'LOG'
Setup.
trying to set window size: 512 x 384
trying to set window size: 768 x 576
trying to set window size: 1024 x 768
trying to set window size: 1280 x 960
trying to set window size: 256 x 192
LOG
diff -u expected.log Logfile.txt || fail "the log differs"
note "one log line per size tried"

press Escape
expect_exit 0 5
