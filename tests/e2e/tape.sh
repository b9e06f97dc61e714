#!/bin/bash
# Tapes as a user loads them, under a virtual X server:
#  - `brenvik prog.tap` (made by zmakebas, autostarting) resets, types LOAD ""
#    and loads at full speed: the program's lines end up on the screen;
#  - a 40 KB machine-code tape made by pasmo loads the same way (the time it
#    takes is printed);
#  - F1 with a .tzx (turbo block) loads and runs it the same way;
#  - a damaged tape is refused with its message, and Page Down with nothing
#    recorded says so; Esc then quits with status 0.
source "$(dirname "$0")/support/session.bash"
source "$(dirname "$0")/support/keyboard.bash"
e2e_own_x_server "$@"
e2e_workdir

command -v zmakebas >/dev/null || { echo "skip: zmakebas is not installed"; exit 0; }
command -v pasmo >/dev/null || { echo "skip: pasmo is not installed"; exit 0; }
export HOME="$E2E_DIR/home" GSETTINGS_BACKEND=memory
mkdir -p "$HOME"
echo 'pcm.!default { type null }' >"$HOME/.asoundrc"

printf '10 PRINT "HELLO TAPE"\n20 PRINT 6*7\n' >prog.bas
zmakebas -a 10 -n hello -o prog.tap prog.bas

# The same blocks as .tzx turbo blocks at timings of their own.
python3 - <<'PY'
import struct
tap = open('prog.tap', 'rb').read()
out = bytearray(b'ZXTape!\x1a\x01\x14')
at = 0
while at < len(tap):
    n = tap[at] | tap[at + 1] << 8
    block = tap[at + 2:at + 2 + n]
    out += b'\x11' + struct.pack('<HHHHHHBH', 2100, 640, 700, 820, 1640, 4000, 8, 1000)
    out += struct.pack('<I', n)[:3] + block
    at += 2 + n
open('prog.tzx', 'wb').write(out)
open('damaged.tzx', 'wb').write(out[:-40])
PY

# Copies the ROM's glyphs of a message to the top line; 40 KB of code in all.
cat >big.asm <<'ASM'
        org 25000
start:  ld de,4000h
        ld hl,msg
next:   ld a,(hl)
        or a
        ret z
        push hl
        ld l,a
        ld h,0
        add hl,hl
        add hl,hl
        add hl,hl
        ld bc,3D00h-100h
        add hl,bc
        push de
        ld b,8
line:   ld a,(hl)
        ld (de),a
        inc hl
        inc d
        djnz line
        pop de
        inc e
        pop hl
        inc hl
        jr next
msg:    defb "BIG TAPE LOADED",0
        ds 40000-($-start),0AAh
        end start
ASM
pasmo --tapbas big.asm big.tap

since() { echo "$(date +%s.%N) - $1" | bc; }

# Starts the program, with the arguments given, in its focused window.
start_focused() {
    start_brenvik "$@"
    xdotool windowfocus --sync "$WID"
}

# ---- The command line ----
t0=$(date +%s.%N)
start_focused "$E2E_DIR/prog.tap"
wait_for_line '^HELLO TAPE$' 40 || fail_showing "brenvik prog.tap: the program's first line is not on the screen"
wait_for_line '^42$' 5 || fail_showing "brenvik prog.tap: the program's second line is not on the screen"
note "brenvik prog.tap shows the program's output after $(since "$t0") s"
stop_machine

t0=$(date +%s.%N)
start_focused "$E2E_DIR/big.tap"
wait_for_line '^BIG TAPE LOADED$' 40 || fail_showing "brenvik big.tap: the code's message is not on the screen"
note "brenvik big.tap (40 KB of code) shows its message after $(since "$t0") s"
stop_machine

# ---- F1 with a .tzx ----
start_focused
wait_for_line '1981' 20 || fail_showing "the ROM did not start"
press F1
dialog=$(timeout 15 xdotool search --sync --onlyvisible --name '^Open Snapshot$' | head -1) || true
[ -n "$dialog" ] || fail "F1 opened no dialog"
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
sleep 0.3
xdotool key ctrl+l; sleep 0.3
xdotool type --delay 30 "$E2E_DIR/prog.tzx"; sleep 0.3
xdotool key Return
wait_for_line '^HELLO TAPE$' 40 || fail_showing "F1 prog.tzx: the program's first line is not on the screen"
note "F1 with a .tzx loads and runs it"

# ---- Refusals ----
dismiss_box() {  # caption
    local id
    id=$(timeout 15 xdotool search --sync --onlyvisible --name "^$1\$" | head -1) || true
    [ -n "$id" ] || fail "no message box \"$1\""
    xdotool windowfocus --sync "$id" 2>/dev/null || true
    sleep 0.2
    xdotool key Return
    for _ in $(seq 50); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    fail "the box \"$1\" did not close"
}
press Next  # Page Down: nothing recorded yet
dismiss_box "No Recording"
xdotool windowfocus --sync "$WID"
stop_machine

start_brenvik "$E2E_DIR/damaged.tzx"
dismiss_box "Damaged Tape"
xdotool windowfocus --sync "$WID"
grep -q "Damaged Tape: $E2E_DIR/damaged.tzx" "$E2E_DIR/brenvik.out" || fail "the message does not name the damaged tape"
wait_for_line '1981' 20 || fail_showing "after a damaged tape the ROM does not run on"
stop_machine
echo "tape: ok"
