#!/bin/bash
# --rom FILE runs that ROM image and no other; --no-sound starts silent
# until F10. What is played is captured through ALSA's file device, as in
# the beeper test.
source "$(dirname "$0")/support/session.bash"
source "$(dirname "$0")/support/keyboard.bash"
e2e_own_x_server "$@"
e2e_workdir

source "$E2E_SUPPORT/sound_capture.bash"

# ---- --rom: a copy of the default ROM with one letter of its copyright line changed ----
/usr/bin/python3 - "$ROM" patched.rom <<'PY' || fail "could not patch the ROM"
import sys
rom = bytearray(open(sys.argv[1], 'rb').read())
at = rom.find(b'1981 Nine Tiles')
if at < 0:
    raise SystemExit('no copyright line in the ROM')
rom[at + 5] = ord('M')
open(sys.argv[2], 'wb').write(rom)
PY
# A usable 48.rom in the working directory is passed over for the one named.
mkdir -p rom
cp "$ROM" rom/48.rom
start_machine rom --rom "$E2E_DIR/patched.rom"
wait_for_line "1981 Mine Tiles" 5 || fail_showing "--rom: the patched ROM's copyright line is not shown"
stop_machine
note "--rom: the named ROM runs, not the 48.rom beside it"

rm -f rom/Logfile.txt
head -c 100 "$ROM" >short.rom
for bad in "$E2E_DIR/missing.rom" "$E2E_DIR/short.rom" "$E2E_DIR"; do
    status=0
    (cd rom && "$BRENVIK" --rom "$bad" >"$E2E_DIR/out.txt" 2>&1) || status=$?
    [ "$status" = 1 ] || fail "--rom $bad: status $status, not 1"
    grep -q "ROM image \"$bad\".*--rom" out.txt || fail "--rom $bad: the message is '$(cat out.txt)'"
    [ ! -e rom/Logfile.txt ] || fail "--rom $bad: the machine started"
done
note "--rom with a missing, short or folder image: a message naming it, status 1, no other ROM tried"

# ---- --no-sound: silence until F10 ----
wait_for_capture() {  # bytes beyond
    local i
    for i in $(seq 100); do
        [ "$(size)" -gt "$1" ] && return 0
        sleep 0.1
    done
    fail "the sound device stopped receiving data"
}
rm -f "$CAPTURE"
start_machine quiet --no-sound
wait_for_capture $((RATE * 4))  # a second of the mixer's output
off=$(/usr/bin/python3 "$MEASURE" "$CAPTURE" "$RATE" 0)
[ "$(field min "$off")" = 0 ] && [ "$(field max "$off")" = 0 ] || fail "with --no-sound the capture is not silent: $off"
note "--no-sound: $(field frames "$off") frames of pure silence"
tap F10
before=$(size)
wait_for_capture $((before + RATE * 4))
on=$(/usr/bin/python3 "$MEASURE" "$CAPTURE" "$RATE" "$before")
# The playing stream holds the quiet speaker at its lowest level, well away
# from the device's silence.
[ "$(field min "$on")" -lt -4096 ] || fail "after F10 the beeper stream does not play: $on"
stop_machine
note "--no-sound then F10: the beeper stream plays"
