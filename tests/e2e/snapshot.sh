#!/bin/bash
# Loading snapshots as a user does, under a virtual X server:
#  - F1 opens the GTK dialog; a path typed in that does not exist is refused
#    by the dialog; a real snapshot typed in is loaded: the window shows its
#    picture and its program runs on;
#  - a damaged file chosen the same way shows its message box, and the picture
#    and the running program stay as they were;
#  - `brenvik missing.sna` shows "Not Found" with the path and runs on;
#  - `brenvik picture.sna` starts with that snapshot loaded.
set -euo pipefail
: "${BRENVIK:?path of the program}"

work=$(mktemp -d)
cd "$work"
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    for f in "$work"/*.err; do [ -f "$f" ] && { echo "--- $f" >&2; tail -20 "$f" >&2; }; done
    exit 1
}

# ---- Snapshots and the picture they must show ----
python3 - <<'EOF'
import struct

mem = bytearray(49152)                     # 0x4000..0xFFFF
def at(addr): return addr - 0x4000

# The picture: stripes of different widths on every pixel line, and every
# cell in its own colours (no FLASH, ink and paper different).
for o in range(6144):
    line = (o >> 8) & 7
    mem[o] = [0xF0, 0xCC, 0xAA, 0xFF, 0x00, 0x81, 0x3C, 0x18][line] ^ (o & 0x11)
for cell in range(768):
    ink = cell % 7
    paper = (ink + 1 + cell // 7 % 6) % 8
    if paper == ink:
        paper = (ink + 3) % 8
    bright = (cell // 32) % 2
    mem[6144 + cell] = bright << 6 | paper << 3 | ink
# The bottom-right cell (row 23, column 31) is the program's counter: black
# ink on white paper, its top pixel line counting up.
counter = 0x50FF
mem[6144 + 767] = 0x38
# DI; LD HL,0x50FF; loop: INC (HL); LD B,0; delay: DJNZ delay; JR loop
program = [0xF3, 0x21, 0xFF, 0x50, 0x34, 0x06, 0x00, 0x10, 0xFE, 0x18, 0xF9]
mem[at(0x8000):at(0x8000) + len(program)] = bytes(program)
sp, pc = 0xFF00, 0x8000

def pack(data):
    out, i = bytearray(), 0
    while i < len(data):
        v, run = data[i], 1
        while i + run < len(data) and data[i + run] == v and run < 255:
            run += 1
        if run >= 5 or (v == 0xED and run >= 2):
            out += bytes([0xED, 0xED, run, v]); i += run
        elif v == 0xED:
            out.append(0xED); i += 1
            if i < len(data):
                out.append(data[i]); i += 1
        else:
            out.append(v); i += 1
    return bytes(out)

def z80_header(pc_field):
    h = bytearray(30)
    struct.pack_into('<BBHHHHBBB', h, 0, 0x12, 0x34, 0x5678, 0x9ABC, pc_field, sp, 0x3F, 0x05, 0x0E)
    h[27], h[28], h[29] = 0, 0, 1
    return h

# Version 3, packed pages 5, 4, 8.
extra = bytearray(56)
struct.pack_into('<HHB', extra, 0, 54, pc, 0)
v3 = bytearray(z80_header(0)) + extra
for page, offset in ((5, 0x8000), (4, 0x4000), (8, 0x0000)):
    body = pack(bytes(mem[offset:offset + 16384]))
    v3 += struct.pack('<HB', len(body), page) + body
open('picture.z80', 'wb').write(v3)

# The same machine as a .sna: the program counter on the stack.
sna_mem = bytearray(mem)
sna_sp = sp - 2
sna_mem[at(sna_sp)], sna_mem[at(sna_sp) + 1] = pc & 0xFF, pc >> 8
sna = bytearray(27)
struct.pack_into('<BHHHHHHHHHBBBBHBB', sna, 0, 0x3F, 0, 0, 0, 0, 0x9ABC, 0, 0x5678, 0, 0, 0, 5, 0x34, 0x12, sna_sp, 1, 7)
open('picture.sna', 'wb').write(sna + sna_mem)

# Damaged: a version 1 file whose plain memory ends 1000 bytes early, its
# memory all zero (an empty picture) so that a partial load would show.
open('damaged.z80', 'wb').write(bytes(z80_header(0x8000)) + bytes(49152 - 1000))

# The picture the window must show, as RGB rows; the counter cell is left out
# of the comparison.
levels = {0: 0, 1: 47, 2: 63}
rgb = bytearray()
for y in range(192):
    for x in range(256):
        o = (y >> 6) << 11 | (y & 7) << 8 | ((y >> 3) & 7) << 5 | x >> 3
        attr = mem[6144 + (y >> 3) * 32 + (x >> 3)]
        bit = mem[o] >> (7 - (x & 7)) & 1
        colour = attr & 7 if bit else attr >> 3 & 7
        level = 63 if attr & 0x40 else 47
        rgb += bytes(((level if colour & 2 else 0), (level if colour & 4 else 0), (level if colour & 1 else 0)))
open('expected.rgb', 'wb').write(rgb)
EOF

cat > compare.py <<'EOF'
# compare.py SHOT.rgb: 0 when the window shows the expected picture (the
# counter cell aside). Levels are 6-bit; the screen's 8-bit values may be
# scaled either way, so allow a little.
import sys
got, want = open(sys.argv[1], 'rb').read(), open('expected.rgb', 'rb').read()
if len(got) != len(want):
    print('size', len(got), 'not', len(want)); sys.exit(1)
bad = 0
for i in range(0, len(want), 3):
    p = i // 3
    x, y = p % 256, p // 256
    if x >= 248 and y >= 184:
        continue
    for c in range(3):
        if abs(got[i + c] - want[i + c] * 255 / 63) > 12:
            bad += 1
            if bad <= 5:
                print('pixel', x, y, 'is', tuple(got[i:i + 3]), 'not', tuple(round(v * 255 / 63) for v in want[i:i + 3]))
            break
print(bad, 'pixels differ')
sys.exit(1 if bad else 0)
EOF

# ---- A virtual X server of our own ----
exec 3> display.num
Xvfb -displayfd 3 -noreset -screen 0 1280x1024x24 -nolisten tcp >xvfb.err 2>&1 &
pids+=($!)
exec 3>&-
for _ in $(seq 50); do [ -s display.num ] && break; sleep 0.1; done
[ -s display.num ] || fail "Xvfb did not start"
export DISPLAY=":$(head -1 display.num)"
export GSETTINGS_BACKEND=memory HOME="$work" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
cp /usr/share/spectrum-roms/opense.rom 48.rom

start() {  # start NAME [ARG]: runs the program, sets $prog and $win
    "$BRENVIK" "${@:2}" >"$1.out" 2>"$1.err" &
    prog=$!
    pids+=("$prog")
    win=$(timeout 20 xdotool search --sync --onlyvisible --name '^Brenvik' | head -1) || true
    [ -n "$win" ] || fail "$1: no Brenvik window"
}
press() {  # press KEY: held 100 ms in the emulator's window
    xdotool windowfocus --sync "$win" 2>/dev/null || true
    xdotool keydown "$1"; sleep 0.1; xdotool keyup "$1"
}
wait_window() {  # wait_window TITLE: the id of a window with exactly that title
    local id
    id=$(timeout 15 xdotool search --sync --onlyvisible --name "^$1\$" | head -1) || true
    [ -n "$id" ] || fail "no window titled \"$1\""
    echo "$id"
}
wait_gone() {  # wait_gone TITLE
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    fail "window \"$1\" did not close"
}
shot() {  # shot FILE.rgb: the window's picture as raw RGB
    import -window "$win" -depth 8 "rgb:$1" 2>/dev/null || fail "cannot capture the window"
}
counter_cell() {  # the counter cell of a capture, as hex
    python3 -c "
import sys
d = open(sys.argv[1], 'rb').read()
print(b''.join(d[(y * 256 + 248) * 3:(y * 256 + 256) * 3] for y in range(184, 192)).hex())" "$1"
}
expect_running_program() {  # the snapshot's program counts on in its cell
    local first now
    shot run0.rgb
    first=$(counter_cell run0.rgb)
    for i in 1 2 3 4 5; do
        sleep 0.3
        shot run$i.rgb
        now=$(counter_cell run$i.rgb)
        [ "$now" != "$first" ] && return 0
    done
    fail "$1: the snapshot's program does not run (its counter cell never changes)"
}
type_path() {  # type_path DIALOG PATH: into the dialog's location field, then Return
    xdotool windowfocus --sync "$1" 2>/dev/null || true
    sleep 0.3
    xdotool key ctrl+l; sleep 0.3
    xdotool key ctrl+a; sleep 0.1
    xdotool type --delay 30 "$2"; sleep 0.3
    xdotool key Return
}
dismiss() {  # dismiss TITLE: OK on a message box
    local id
    id=$(wait_window "$1")
    xdotool windowfocus --sync "$id" 2>/dev/null || true
    sleep 0.2
    xdotool key Return
    wait_gone "$1"
}
quit() {  # Esc ends the program with status 0
    press Escape
    for _ in $(seq 100); do kill -0 "$prog" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$prog" 2>/dev/null && fail "$1: Esc did not end the program"
    wait "$prog" || fail "$1: the program ended with status $?"
}

# ---- F1: the dialog, a refused path, a snapshot ----
start dialog
sleep 2
press F1
dialog=$(wait_window "Open Snapshot")
type_path "$dialog" "$work/missing.sna"
dismiss "Not Found"  # the dialog's own refusal
xdotool search --onlyvisible --name '^Open Snapshot$' >/dev/null || fail "the dialog closed on a missing file"
type_path "$dialog" "$work/picture.z80"
wait_gone "Open Snapshot"
sleep 1
shot loaded.rgb
python3 compare.py loaded.rgb || fail "after F1 the window does not show the snapshot's picture"
expect_running_program "after F1"

# ---- F1 with a damaged file: a message, nothing changed ----
press F1
dialog=$(wait_window "Open Snapshot")
type_path "$dialog" "$work/damaged.z80"
wait_gone "Open Snapshot"
dismiss "Damaged Snapshot"
grep -q "Damaged Snapshot: $work/damaged.z80" dialog.err || fail "the damaged file's message does not name it"
sleep 1
shot after_damaged.rgb
python3 compare.py after_damaged.rgb || fail "a damaged file changed the picture"
expect_running_program "after the damaged file"
quit dialog

# ---- The command line: a missing file, then a snapshot ----
start missing "$work/missing.sna"
dismiss "Not Found"
grep -qx "brenvik: Not Found: $work/missing.sna" missing.err || fail "\"Not Found\" does not carry the path"
sleep 2
kill -0 "$prog" 2>/dev/null || fail "the program ended after \"Not Found\""
title=$(xdotool getwindowname "$win")
[[ "$title" == Brenvik* ]] || fail "the window is gone after \"Not Found\""
quit missing

start cmdline "$work/picture.sna"
sleep 2
shot cmdline.rgb
python3 compare.py cmdline.rgb || fail "brenvik picture.sna does not show the snapshot's picture"
expect_running_program "brenvik picture.sna"
quit cmdline
echo "snapshot: ok"
