#!/bin/bash
# Files dropped on the window as a file manager drops them (the XDND
# protocol, from a source client of the test's own that honours XdndProxy):
#  - a .sna loads: the window shows the snapshot's picture;
#  - a URI that is not a file is refused with a message and changes nothing;
#  - a .tap made by zmakebas, its name escaped in the URI, loads and runs.
# The window also carries the program's icon for the window manager.
source "$(dirname "$0")/support/session.bash"
source "$(dirname "$0")/support/keyboard.bash"
e2e_own_x_server "$@"
e2e_workdir
export XDG_CONFIG_HOME="$E2E_DIR/config" XDG_DATA_HOME="$E2E_DIR/data"
source "$E2E_SUPPORT/tapes.bash"

# A snapshot whose screen is all red paper, its program a loop on itself.
python3 - <<'EOF'
import struct
mem = bytearray(49152)
mem[6144:6912] = bytes([2 << 3]) * 768          # red paper, no pixels set
mem[0x8000 - 0x4000:0x8000 - 0x4000 + 3] = bytes([0xF3, 0x18, 0xFE])  # DI; JR $
sp = 0xFF00 - 2
mem[sp - 0x4000], mem[sp - 0x4000 + 1] = 0x01, 0x80  # the program counter, 0x8001, on the stack
header = struct.pack('<BHHHHHHHHHBBBBHBB', 0x3F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, sp, 1, 7)
open('red.sna', 'wb').write(header + mem)
EOF
cp prog.tap "my tape.tap"

drop() {  # uri: prints the source's account of the drop
    /usr/bin/python3 "$E2E_SUPPORT/xdnd_drop.py" "$WID" "$1" || fail "the drop of $1 broke off"
}
all_red() {  # the window shows nothing but red paper
    import -window "$WID" -depth 8 "rgb:$E2E_DIR/shot.rgb"
    /usr/bin/python3 -c "
import sys
d = open(sys.argv[1], 'rb').read()
red = sum(1 for i in range(0, len(d), 3) if d[i] > 150 and d[i + 1] < 30 and d[i + 2] < 30)
sys.exit(0 if red == 256 * 192 == len(d) // 3 else 1)" "$E2E_DIR/shot.rgb"
}
wait_all_red() {  # what
    for _ in $(seq 40); do all_red && return 0; sleep 0.25; done
    fail "$1: the window does not show the snapshot's red picture"
}

start_focused
wait_for_line '1981' 20 || fail_showing "the ROM did not start"
xprop -id "$WID" WM_HINTS | grep -q 'bitmap id # to use for icon' || fail "the window has no icon"

answer=$(drop "file://$E2E_DIR/red.sna")
[ "$answer" = $'accepted\nfinished 1' ] || fail "the .sna drop was answered: $answer"
wait_all_red "after dropping red.sna"
note "a dropped .sna loads"

answer=$(drop "http://example.org/game.tap")
[ "$answer" = $'accepted\nfinished 0' ] || fail "the web address's drop was answered: $answer"
dismiss_box "Not a File"
grep -q "Only files can be dropped here, not http://example.org/game.tap" brenvik.out ||
    fail "the refusal does not say why"
sleep 0.5
all_red || fail "a refused drop changed the picture"
note "a web address is refused with a message"

answer=$(drop "file://$E2E_DIR/my%20tape.tap")
[ "$answer" = $'accepted\nfinished 1' ] || fail "the .tap drop was answered: $answer"
wait_for_line '^HELLO TAPE$' 40 || fail_showing "the dropped tape's program did not run"
note "a dropped .tap loads and runs"
xdotool windowfocus --sync "$WID"
stop_machine
echo "drop: ok"
