#!/bin/bash
# The remaining hot keys: keypad plus and minus step the scale (minus at
# scale 1 still sets the mode again, F5 at scale 1 does nothing), and the
# settings keys F3, F10 and F11 switch back and forth without disturbing the
# picture or the program.
source "$(dirname "$0")/support/session.bash"
e2e_own_x_server "$@"
e2e_workdir

expected_picture 300 1 boot1.png
expected_picture 300 2 boot2.png
start_brenvik
wait_for_picture boot1.png 10 "start-up screen"

press KP_Add
wait_for_size 512x384
wait_for_picture boot2.png 5 "keypad plus: scale 2"
press KP_Subtract
wait_for_size 256x192
press KP_Subtract
sleep 0.5
press F5
sleep 0.5
wait_for_size 256x192
wait_for_picture boot1.png 5 "keypad minus: scale 1"
note "keypad plus and minus step the scale"

for k in F3 F11 F10; do
    press "$k"
    sleep 0.3
    wait_for_picture boot1.png 5 "after $k once"
    press "$k"
    sleep 0.3
    wait_for_picture boot1.png 5 "after $k twice"
    kill -0 "$BRENVIK_PID" || fail "the program ended after $k"
done
note "F3, F10 and F11 switch off and on again"

cat >expected.log <<'LOG'
Setup.
trying to set window size: 512 x 384
trying to set window size: 256 x 192
trying to set window size: 256 x 192
LOG
diff -u expected.log Logfile.txt || fail "the log differs"
note "minus at scale 1 sets the window again; F5 at scale 1 sets nothing"

press Escape
expect_exit 0 5
