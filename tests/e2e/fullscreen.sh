#!/bin/bash
# F4 switches to the full screen with the picture centred on a 640 x 480
# mode, and back to the window; the log names each size tried.
source "$(dirname "$0")/support/session.bash"
e2e_own_x_server "$@"
e2e_workdir

expected_picture 300 1 boot.png
start_brenvik
wait_for_picture boot.png 10 "start-up screen"

press F4
# In full screen the keyboard is grabbed and the window has no title: keys
# go to the display as a whole and the picture is read off the root window.
for i in $(seq 50); do
    grep -q "trying to set screen: 640 x 480" Logfile.txt && break
    sleep 0.1
done
# The 640 x 480 mode sits in the middle of the 1280 x 1024 X screen, and the
# picture in the middle of the mode.
for i in $(seq 40); do
    import -window root -crop 256x192+512+416 +repage centre.png
    [ "$(differing_pixels boot.png centre.png)" = "0" ] && break
    sleep 0.25
done
[ "$(differing_pixels boot.png centre.png)" = "0" ] || fail "the full-screen picture is not centred"
import -window root -crop 8x8+504+408 +repage outside.png
[ "$(convert outside.png -format '%[fx:maxima]' info:)" = "0" ] || fail "the screen around the picture is not black"
note "full screen: the picture is centred on black"

xdotool keydown F4
sleep 0.1
xdotool keyup F4
wait_for_size 256x192
wait_for_picture boot.png 5 "back in the window"
note "F4 again: back to the 256 x 192 window"

cat >expected.log <<'LOG'
Setup.
trying to set screen: 640 x 480
trying to set window size: 256 x 192
LOG
diff -u expected.log Logfile.txt || fail "the log differs"

press Escape
expect_exit 0 5
