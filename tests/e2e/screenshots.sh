#!/bin/bash
# Screenshots: --screenshot writes the boot screen as the window shows it and
# exits; Keypad * writes what the window shows as the next free
# brenvik-NNNN.png, never over an earlier file, and logs the name; Scroll
# Lock turns power saving on and off (logged) while the picture goes on.
source "$(dirname "$0")/support/session.bash"
e2e_own_x_server "$@"
e2e_workdir

"$BRENVIK" --screenshot boot.png --frames 300 >"$E2E_DIR/brenvik.out" 2>&1 || fail "--screenshot ended with status $?"
[ -f boot.png ] || fail "--screenshot wrote no file"
ls -a | grep -q '^\.boot\.png\.' && fail "a temporary file was left behind"
note "--screenshot wrote boot.png and exited 0"

start_brenvik
wait_for_picture boot.png 10 "the window's boot screen against --screenshot"
note "--screenshot of the boot screen equals the window's boot screen"

echo "an earlier file" >brenvik-0001.png
press F6
wait_for_size 512x384
expected_picture 300 2 boot2.png
wait_for_picture boot2.png 5 "scale 2"
for want in brenvik-0002.png brenvik-0003.png; do
    press KP_Multiply
    for i in $(seq 50); do [ -f "$want" ] && break; sleep 0.1; done
    [ -f "$want" ] || fail "Keypad * wrote no $want"
    capture window.png
    [ "$(differing_pixels "$want" window.png)" = "0" ] || fail "$want differs from the window"
done
[ "$(cat brenvik-0001.png)" = "an earlier file" ] || fail "an earlier file was overwritten"
note "Keypad * writes the window's picture under the next free name"

press Scroll_Lock
for i in $(seq 50); do grep -q "Power saving on." Logfile.txt && break; sleep 0.1; done
press KP_Subtract
wait_for_size 256x192
wait_for_picture boot.png 5 "the picture with power saving on"
press Scroll_Lock
for i in $(seq 50); do grep -q "Power saving off." Logfile.txt && break; sleep 0.1; done

cat >expected.log <<'LOG'
Setup.
trying to set window size: 512 x 384
Screenshot brenvik-0002.png.
Screenshot brenvik-0003.png.
Power saving on.
trying to set window size: 256 x 192
Power saving off.
LOG
diff -u expected.log Logfile.txt || fail "the log differs"
note "Scroll Lock turns power saving on and off"

press Escape
expect_exit 0 5
