# The tape tests' shared part, sourced after session.bash and keyboard.bash
# in the working directory: it makes the tapes there with Debian's zmakebas
# and pasmo (the test is skipped without them) and defines the steps the
# tape tests share.
#  prog.tap    zmakebas, autostarting: prints HELLO TAPE and 42
#  prog.tzx    the same blocks as .tzx turbo blocks
#  damaged.tzx prog.tzx cut short
#  prog128.tzx prog.tzx marked as a tape for the 128K
#  big.tap     pasmo: 40 KB of code that writes BIG TAPE LOADED on the top line

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
# The same with a hardware block saying the tape uses the 128K's hardware.
open('prog128.tzx', 'wb').write(out[:10] + bytes([0x33, 1, 0, 3, 1]) + out[10:])
PY

# Copies the ROM's glyphs of the message at HL (ended by a 0) to the top
# line; the snapshot of tests/e2e/archives.sh shows its line with it too.
cat >glyphs.asm <<'ASM'
glyphs: ld de,4000h
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
ASM
# Shows its message; 40 KB of code in all.
cat >big.asm <<'ASM'
        org 25000
start:  ld hl,msg
        jp glyphs
        include "glyphs.asm"
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
