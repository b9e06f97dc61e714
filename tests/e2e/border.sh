#!/bin/bash
# --border: a program of our own changes the border colour at T-states it
# counts from the frame interrupt; the screenshot shows each change on the
# line and at the position the 48K's beam reaches at that T-state (within a
# cell of 8 pixels). The window, Keypad * and --screenshot take the border in.
source "$(dirname "$0")/support/session.bash"
e2e_own_x_server "$@"
e2e_workdir

export HOME="$E2E_DIR/home" XDG_CONFIG_HOME="$E2E_DIR/config" XDG_DATA_HOME="$E2E_DIR/data"
mkdir -p "$HOME"
echo 'pcm.!default { type null }' >"$HOME/.asoundrc"

# The changes: T-state wanted, new colour. The frame's first picture line
# starts 14336 T-states after the interrupt, a line takes 224, two pixels a
# T-state; the shown frame starts 24 lines above and 16 T-states (32 pixels)
# left of the picture.
targets=(10144 2 31496 4 42552 1 60564 6)

# The program: IM 2 onto a bare RET, then HALT waits for each interrupt.
# From the RET's end (about T-state 35: HALT 4, acceptance 19, RET 10, and
# up to 3 T-states the last HALT of the frame ran over) each change waits
# LD BC,n (10) + n loops of 26 less 5 + NOPs (4), then LD A,c (7) and OUT (11);
# the OUT is timed at its first T-state.
t=35
code=$'    org 0x8000\n    di\n    ld a, 0x80\n    ld i, a\n    im 2\n    ld sp, 0x9000\nframe:\n    ei\n    halt\n    ld a, 7\n    out (0xfe), a\n'
t=$((t + 18))
actual=()
for ((i = 0; i < ${#targets[@]}; i += 2)); do
    want=${targets[i]} colour=${targets[i + 1]}
    n=$(((want - t - 12) / 26))
    pad=$(((want - t - 12 - 26 * n) / 4))
    code+="    ld bc, $n"$'\n'"d$i: dec bc"$'\n    ld a, b\n    or c\n'"    jr nz, d$i"$'\n'
    for ((k = 0; k < pad; k++)); do code+=$'    nop\n'; done
    code+="    ld a, $colour"$'\n    out (0xfe), a\n'
    t=$((t + 26 * n + 12 + 4 * pad))
    actual+=("$t" "$colour")
    t=$((t + 11))
done
# The HALT that ends the loop runs on over the frame's end by as many
# T-states (0 to 3) as the frame began with when the loop, from the
# first HALT to the last, takes a multiple of 4: then every frame is timed
# alike. HALT 4 + acceptance 19 + RET 10 + the changes + JP 10 + EI 4, made up
# with LD A,n (7) and INC BC (6).
case $(((4 + 19 + 10 + t - 35 + 10 + 4) % 4)) in
1) code+=$'    ld a, 0\n' ;;
2) code+=$'    inc bc\n' ;;
3) code+=$'    ld a, 0\n    inc bc\n' ;;
esac
code+=$'    jp frame\n    ds 0x80ff - $\n    dw handler\nhandler:\n    ret\n'
printf '%s' "$code" >stripes.asm
pasmo --bin stripes.asm stripes.bin || fail "pasmo could not assemble the program"
/usr/bin/python3 - stripes.bin stripes.sna <<'PY' || fail "could not build the snapshot"
import struct, sys
code = open(sys.argv[1], 'rb').read()
ram = bytearray(49152)
ram[0x4000:0x4000 + len(code)] = code
ram[0x4F00:0x4F02] = struct.pack('<H', 0x8000)
header = bytes(19) + bytes([0, 0]) + bytes(2) + struct.pack('<H', 0x8F00) + bytes([1, 7])
open(sys.argv[2], 'wb').write(header + bytes(ram))
PY

"$BRENVIK" --border --screenshot stripes.png --frames 10 stripes.sna >"$E2E_DIR/brenvik.out" 2>&1 ||
    fail "--screenshot ended with status $?"
[ "$(identify -format %wx%h stripes.png)" = "320x240" ] || fail "the screenshot is not 320 x 240"
convert stripes.png -depth 8 txt:- >pixels.txt

# The Spectrum colour (0-7) at (x, y) of the screenshot.
colour_at() {
    local rgb
    rgb=$(awk -v p="$1,$2:" '$1 == p {print $2; exit}' pixels.txt | tr -d '()' | tr ',' ' ')
    read -r r g b _ <<<"$rgb"
    echo $(((g > 96) * 4 + (r > 96) * 2 + (b > 96)))
}
# The shown row and column of the beam at T-state t.
position_of() {
    local from=$(($1 - 14336 + 16 + 24 * 224))
    echo $((from / 224)) $((2 * (from % 224)))
}
expect_colour() {  # x y colour what
    local got
    got=$(colour_at "$1" "$2")
    [ "$got" = "$3" ] || fail "$4: ($1, $2) shows colour $got, not $3"
}

old=7
for ((i = 0; i < ${#actual[@]}; i += 2)); do
    read -r row x <<<"$(position_of "${actual[i]}")"
    new=${actual[i + 1]}
    what="the change to $new at T-state ${actual[i]} (row $row, x $x)"
    expect_colour $((x - 10)) "$row" "$old" "$what, just before it"
    expect_colour $((x + 10)) "$row" "$new" "$what, just after it"
    expect_colour $((x + 10)) $((row - 1)) "$old" "$what, the line above"
    expect_colour $((x - 10)) $((row + 1)) "$new" "$what, the line below"
    old=$new
done
note "four border changes appear where the beam was at their T-states"

convert stripes.png -scale 200% stripes2.png
start_brenvik --border stripes.sna
wait_for_size 320x240
press F6
wait_for_size 640x480
wait_for_picture stripes2.png 20 "the window at scale 2 against the --screenshot enlarged"
press KP_Multiply
for i in $(seq 100); do [ -f brenvik-0001.png ] && break; sleep 0.1; done
[ -f brenvik-0001.png ] || fail "Keypad * wrote no brenvik-0001.png"
[ "$(differing_pixels stripes2.png brenvik-0001.png)" = "0" ] || fail "Keypad * differs from the window"
note "the window and Keypad * hold the border, enlarged plainly"
press Escape
expect_exit 0 10
