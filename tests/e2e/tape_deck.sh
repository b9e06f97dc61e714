#!/bin/bash
# The deck minds the program:
#  - multiload: a zmakebas program prints, pauses twelve seconds (its next
#    block would pass meanwhile), then runs LOAD "" CODE for that block; with
#    --screenshot the tape is loaded before the frames are counted; with
#    auto-play (the default) the deck stops while the program pauses and the
#    block loads, with --tape-auto-play off it has passed unheard;
#  - under --screenshot a missing file is said on standard error (a name's
#    control bytes escaped) and the status is 1;
#  - during a fast load the keyboard works: BREAK (Space) stops the LOAD (and
#    auto-play then the deck), and a 100 ms tap of Esc quits.
source "$(dirname "$0")/support/session.bash"
source "$(dirname "$0")/support/keyboard.bash"
e2e_own_x_server "$@"
e2e_workdir
source "$E2E_SUPPORT/tapes.bash"

# ---- Multiload under --screenshot ----
printf '10 PRINT "FIRST PART"\n20 PAUSE 600\n30 LOAD "" CODE\n40 PRINT "LOADED ";PEEK 40000\n' >multi.bas
zmakebas -a 10 -n multi -o part1.tap multi.bas
printf ' org 40000\n defb 77\n ds 2000,0\n' >part2.asm
pasmo --tap part2.asm part2.tap
cat part1.tap part2.tap >multi.tap

screen_of() {  # picture.png
    convert "$1" -depth 8 "$E2E_DIR/shot.ppm"
    /usr/bin/python3 "$E2E_SUPPORT/screen_text.py" "$ROM" "$E2E_DIR/shot.ppm"
}
for auto in on off; do
    "$BRENVIK" --screenshot "multi-$auto.png" --frames 1500 --tape-auto-play "$auto" multi.tap \
        >"$E2E_DIR/brenvik.out" 2>&1 || fail "--screenshot with a tape ended with status $?"
    text=$(screen_of "multi-$auto.png")
    grep -q '^FIRST PART' <<<"$text" || fail "auto-play $auto: the program did not load: $text"
    if [ "$auto" = on ]; then
        grep -q '^LOADED 77' <<<"$text" || fail "auto-play on: the second part did not load: $text"
    else
        grep -q 'LOADED' <<<"$text" && fail "auto-play off: the second part loaded, but its block had passed"
    fi
done
note "multiload: the second part loads with auto-play and passes unheard without it"

# ---- A refused file under --screenshot ----
status=0
"$BRENVIK" --screenshot none.png "$E2E_DIR/no"$'\e'"[31mtape.tap" >"$E2E_DIR/brenvik.out" 2>&1 || status=$?
[ "$status" = 1 ] || fail "--screenshot with a missing tape ended with status $status, not 1"
grep -q 'Not Found: .*no\\x1B\[31mtape\.tap' "$E2E_DIR/brenvik.out" || fail "the message does not name the file escaped"
grep -q $'\e' "$E2E_DIR/brenvik.out" && fail "an escape byte of the name reached standard error"
[ -f none.png ] && fail "a screenshot was written for a missing file"
note "--screenshot with a missing tape: status 1, the name's escape byte shown as \\x1B"

# ---- The keyboard during a fast load ----
# An hour and a quarter of data blocks and no header: the ROM's LOAD "" reads
# them all, fast, until stopped.
python3 - <<'PY'
block = bytes((k * 7 + (k >> 8)) & 0xFF for k in range(60000))
check = 0xFF
for b in block:
    check ^= b
one = (60002).to_bytes(2, 'little') + b'\xff' + block + bytes([check])
open('long.tap', 'wb').write(one * 15)
PY
wait_for_tape_title() {
    local i
    for i in $(seq 200); do
        title | grep -q ' - tape ' && return 0
        sleep 0.1
    done
    fail_showing "the tape did not start playing"
}

start_focused long.tap
wait_for_tape_title
sleep 0.5
t0=$(date +%s.%N)
tap space
# The LOAD stops at once (the Space still held may then clear its report),
# and auto-play stops the deck a second and a half later; ignored, the BREAK
# would leave the deck playing for many seconds more.
for i in $(seq 50); do title | grep -q ' - tape ' || break; sleep 0.1; done
title | grep -q ' - tape ' && fail_showing "BREAK did not stop the LOAD during a fast load"
note "BREAK during a fast load stopped it, and auto-play the deck, after $(since "$t0") s"
stop_machine

start_focused long.tap
wait_for_tape_title
sleep 0.5
xdotool keydown Escape
sleep 0.1
xdotool keyup Escape
expect_exit 0 5
note "a 100 ms Esc tap during a fast load quits"
echo "tape_deck: ok"
