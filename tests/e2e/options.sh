#!/bin/bash
# The command line: a bad option or value ends the program at once with
# status 2, a reason and the usage; --help and --version print and end;
# --scale and --fullscreen set the mode the program starts in.
source "$(dirname "$0")/support/session.bash"
e2e_own_x_server "$@"
e2e_workdir

export HOME="$E2E_DIR/home"
mkdir -p "$HOME"
echo 'pcm.!default { type null }' >"$HOME/.asoundrc"

# ---- Bad command lines: status 2, one line why, the usage, nothing started ----
usage="Usage: brenvik [OPTION]... [SNAPSHOT|TAPE]
Try 'brenvik --help' for more information."
check_refused() {  # reason args...
    local reason=$1 status=0
    shift
    "$BRENVIK" "$@" >out.txt 2>err.txt || status=$?
    [ "$status" = 2 ] || fail "brenvik $* ended with status $status, not 2"
    [ ! -s out.txt ] || fail "brenvik $* printed on standard output"
    [ "$(head -1 err.txt)" = "brenvik: $reason" ] || fail "brenvik $*: the reason reads '$(head -1 err.txt)'"
    [ "$(tail -n +2 err.txt)" = "$usage" ] || fail "brenvik $*: the usage does not follow the reason"
    [ ! -e Logfile.txt ] || fail "brenvik $* started the machine"
}
check_refused "--scale takes a number from 1 to 5, not '6'" --scale 6
check_refused "--scale takes a number from 1 to 5, not 'big'" --scale=big
check_refused "--joystick takes kempston, sinclair1, sinclair2, cursor, keys or none, not 'mouse'" --joystick mouse
check_refused "unknown option '--no-such-option'" --no-such-option
check_refused "--fullscreen takes no value" --fullscreen=yes
check_refused "--rom needs a value" --rom
check_refused "an empty argument is not a file name" ""
check_refused "only one snapshot or tape can be given, not also 'b.z80'" a.z80 b.z80
note "bad options: status 2, the reason and the usage, nothing started"

status=0
"$BRENVIK" --help >help.txt 2>err.txt || status=$?
[ "$status" = 0 ] && [ ! -s err.txt ] || fail "--help ended with status $status"
head -1 help.txt | grep -qx 'Usage: brenvik \[OPTION\]... \[SNAPSHOT|TAPE\]' || fail "--help does not start with the usage"
for o in --scale --fullscreen --no-sound --rom --joystick --help --version; do
    grep -q -- "^  .*$o" help.txt || fail "--help does not list $o"
done
"$BRENVIK" --version >version.txt || fail "--version failed"
grep -qx 'brenvik [0-9.]*' version.txt || fail "--version prints '$(cat version.txt)'"
[ ! -e Logfile.txt ] || fail "--help or --version started the machine"
note "--help and --version print and end with status 0"

# ---- --scale N: the window opens at that scale ----
expected_picture 300 3 boot3.png
start_brenvik --scale 3
wait_for_size 768x576
wait_for_picture boot3.png 10 "start-up screen at --scale 3"
grep -qx "trying to set window size: 768 x 576" Logfile.txt || fail "the log does not name the 768 x 576 window"
press Escape
expect_exit 0 10
note "--scale 3: a 768 x 576 window with the enlarged picture"

# ---- --fullscreen: the picture centred on a full-screen mode ----
# In full screen the keyboard is grabbed and the window has no title: the
# picture is read off the root window, where the mode sits in the middle of
# the 1280 x 1024 X screen.
centred() {  # expected.png width height
    import -window root -crop "$2x$3+$(( (1280 - $2) / 2 ))+$(( (1024 - $3) / 2 ))" +repage centre.png
    [ "$(differing_pixels "$1" centre.png)" = "0" ]
}
wait_for_centred() {  # expected.png width height what
    local i
    for i in $(seq 60); do
        centred "$1" "$2" "$3" && return 0
        sleep 0.25
    done
    fail "$4: the full-screen picture is not centred"
}
expected_picture 300 1 boot1.png
expected_picture 300 2 boot2.png
rm -f Logfile.txt
"$BRENVIK" --fullscreen --scale=3 >"$E2E_DIR/brenvik.out" 2>&1 &
BRENVIK_PID=$!
wait_for_centred boot3.png 768 576 "--fullscreen --scale=3"
grep -qx "trying to set screen: 800 x 600" Logfile.txt || fail "the log does not name the 800 x 600 screen"
# The full-screen mode is a window of the mode's size in the middle of the
# X screen, black around the picture.
xwininfo -root -tree | grep -q ' 800x600+240+212 ' || fail "no 800 x 600 full-screen window: $(xwininfo -root -tree)"
import -window root -crop 8x8+240+212 +repage corner.png
[ "$(convert corner.png -format '%[fx:maxima]' info:)" = "0" ] || fail "the 800 x 600 screen is not black around the picture"
note "--fullscreen --scale=3: the picture centred on an 800 x 600 screen"
# The hot keys go on from there: F6 stays on the full screen, F4 leaves it.
xdotool keydown F6; sleep 0.1; xdotool keyup F6
wait_for_centred boot2.png 512 384 "F6 after --fullscreen"
xdotool keydown F4; sleep 0.1; xdotool keyup F4
wait_for_size 512x384
wait_for_picture boot2.png 5 "F4 after --fullscreen"
cat >expected.log <<'LOG'
Setup.
trying to set screen: 800 x 600
trying to set screen: 640 x 480
trying to set window size: 512 x 384
LOG
diff -u expected.log Logfile.txt || fail "the log differs"
press Escape
expect_exit 0 10
note "F6 then F4 after --fullscreen: 640 x 480 full screen, then a 512 x 384 window"
