#!/bin/bash
# Makes the ROM beep and listens to what reaches the sound device: ALSA's
# default device is replaced, for this test only, by a file over the null
# device, so everything Allegro's mixer plays is captured.
source "$(dirname "$0")/support/session.bash"
source "$(dirname "$0")/support/keyboard.bash"
e2e_own_x_server "$@"
e2e_workdir

NOTE=261.63      # BEEP 1,0: one second of middle C
source "$E2E_SUPPORT/sound_capture.bash"

type_beep() {
    type_text "beep 1"
    chord "$(keycode Control_R)" n  # SYMBOL SHIFT + N: the comma
    type_text "0"
    tap Return
}

# ---- Sound on: the note is heard ----
rm -f "$CAPTURE"
start_machine sound_on
sleep 0.5
before=$(size)
[ "$before" -gt 0 ] || fail "nothing reached the sound device: the capture is empty"
type_beep
wait_for_line "OK" 10 || fail_showing "BEEP 1,0 did not finish"
sleep 0.5
stop_machine
result=$(/usr/bin/python3 "$MEASURE" "$CAPTURE" "$RATE" "$before")
echo "sound on: $result"
[ "$(field tone "$result")" = 1 ] || fail "no tone in the capture: $result"
/usr/bin/python3 - "$result" "$NOTE" <<'PY' || fail "the tone is not the note asked for: $result"
import sys
f = dict(kv.split('=') for kv in sys.argv[1].split())
note = float(sys.argv[2])
freq, dur, swing = float(f['frequency']), float(f['duration']), int(f['swing'])
ok = True
if abs(freq - note) > 0.03 * note:
    print('frequency %.2f Hz is not within 3%% of %.2f Hz' % (freq, note)); ok = False
if not 0.8 <= dur <= 1.25:
    print('the note lasts %.3f s, not about 1 s' % dur); ok = False
if swing < 16384:
    print('the swing %d is too small to hear: BEEP is nearly silent' % swing); ok = False
sys.exit(0 if ok else 1)
PY
note "BEEP 1,0 heard at $(field frequency "$result") Hz for $(field duration "$result") s"

# ---- F10 first: nothing is written to the stream ----
rm -f "$CAPTURE"
start_machine sound_off
sleep 0.5
on=$(/usr/bin/python3 "$MEASURE" "$CAPTURE" "$RATE" 0)
# While the stream plays, the quiet speaker sits at its lowest level, well
# away from the device's silence.
[ "$(field min "$on")" -lt -4096 ] || fail "the stream did not play before F10: $on"
tap F10
sleep 1  # let the stream's queued buffers drain
after_f10=$(size)
type_beep
wait_for_line "OK" 10 || fail_showing "BEEP 1,0 did not finish"
sleep 0.5
stop_machine
[ "$(size)" -gt "$after_f10" ] || fail "the sound device stopped receiving data"
off=$(/usr/bin/python3 "$MEASURE" "$CAPTURE" "$RATE" "$after_f10")
echo "after F10: $off"
[ "$(field min "$off")" = 0 ] && [ "$(field max "$off")" = 0 ] \
    || fail "after F10 the capture is not pure silence: $off"
note "with F10 pressed first the capture stays silent"
