#!/bin/bash
# The two sounds side by side: the same programs played with --sound classic
# and --sound hifi, captured through ALSA's file sink with the mixer at
# 48 kHz, and their spectra compared. In hifi the strongest component that is
# not a harmonic of the notes played lies at least 50 dB below the tone; the
# classic figure, which folds everything above 7.8 kHz back, is reported.
#  beep.tap     zmakebas: BEEP 1,40, a square wave of 2637 Hz from the ROM
#  duet.tap     pasmo: two pulse channels (a fifth apart, 718 and 1078 Hz)
#               played from a table at one OUT every 38 T-states, so the
#               edges fall at every fraction of a sample; the pattern repeats
#               every 9728 T-states, which makes every component of the
#               true signal a harmonic of 359.21 Hz
source "$(dirname "$0")/support/session.bash"
source "$(dirname "$0")/support/keyboard.bash"
e2e_own_x_server "$@"
e2e_workdir
command -v pasmo >/dev/null || { echo "skip: pasmo is not installed"; exit 0; }
command -v zmakebas >/dev/null || { echo "skip: zmakebas is not installed"; exit 0; }

RATE=48000
source "$E2E_SUPPORT/sound_capture.bash"
PURITY="$E2E_SUPPORT/spectral_purity.py"
BEEP_NOTE=2637.02     # 440 Hz * 2^(31/12): BEEP's 40 semitones above middle C
DUET_BASE=359.2105    # 3494400 T-states a second (50 frames) / 9728

python3 - >table.asm <<'PY'
# 256 steps: channel 1 every 128 steps, 3 steps wide; channel 2 at 85.33
# steps, 2 wide, 40 steps later; EAR high while either pulse sounds.
steps = [0] * 256
for start in (0, 128):
    for k in range(3): steps[start + k] = 0x10
for start in (40, 125, 211):
    for k in range(2): steps[(start + k) % 256] = 0x10
for row in range(0, 256, 16):
    print('        defb ' + ','.join('%d' % v for v in steps[row:row + 16]))
PY
cat >duet.asm <<'ASM'
        org 32768
start:  ld a,2
        call 5633           ; CHAN-OPEN: print to the upper screen
        ld hl,msg
show:   ld a,(hl)
        or a
        jr z,play
        rst 16
        inc hl
        jr show
play:   di
        ld hl,table
step:   ld a,(hl)           ; 7
        out (254),a         ; 11
        inc de              ; 6
        inc l               ; 4
        jp step             ; 10: 38 T-states a step
msg:    defb "DUET",0
        org 33024
table:
        include "table.asm"
        end start
ASM
pasmo --tapbas duet.asm duet.tap
# A second's wait first: the tape has stopped and the stream plays again;
# half a second after BEEP shows, the note starts.
printf '10 PAUSE 50: PRINT "BEEP": PAUSE 25: BEEP 1,40: PRINT "DONE"\n' >beep.bas
zmakebas -a 10 -n beep -o beep.tap beep.bas

# Plays a tape and measures the sound from the first line it prints to the
# second (the second line, or after the time given: the program plays on).
play() {  # mode tape first [second | seconds] [base]
    rm -f "$CAPTURE"
    mkdir -p "$E2E_DIR/$1_$2"
    cd "$E2E_DIR/$1_$2"
    start_brenvik --sound "$1" "$E2E_DIR/$2"
    xdotool windowfocus --sync "$WID"
    wait_for_line "$3" 60 || fail_showing "$1: $2 did not start"
    local before
    before=$(size)
    if [[ $4 =~ ^[0-9.]+$ ]]; then
        sleep "$4"
    else
        wait_for_line "$4" 10 || fail_showing "$1: $2 did not finish"
    fi
    stop_machine
    result=$(/usr/bin/python3 "$PURITY" "$CAPTURE" "$RATE" "$before" ${5:-})
}

# Whether the last play caught the tone, its strongest component at the
# frequency given (within 3%) and, in hifi, every other component that is
# not its harmonic 50 dB down.
good() {  # mode frequency
    /usr/bin/python3 - "$1" "$2" "$result" <<'PY'
import sys
mode, want = sys.argv[1], float(sys.argv[2])
spectrum = dict(kv.split('=') for kv in sys.argv[3].split())
ok = spectrum['tone'] == '1' and abs(float(spectrum['fundamental']) - want) < 0.03 * want
ok = ok and (mode != 'hifi' or float(spectrum['purity']) >= 50)
sys.exit(0 if ok else 1)
PY
}

# The file sink takes sound only as often as Allegro's update thread runs;
# on a loaded machine it can fall so far behind that most of a short note's
# frames are dropped before it reads them. A measurement is therefore tried
# up to three times; a stream that really aliases fails all three.
measure() {  # mode what frequency play-arguments...
    local mode=$1 what=$2 frequency=$3 attempt
    shift 3
    for attempt in 1 2 3; do
        play "$mode" "$@"
        if good "$mode" "$frequency"; then
            echo "$mode $what: $result"
            return 0
        fi
        echo "$mode $what, attempt $attempt: $result"
    done
    fail "$mode $what: no clean measurement in three attempts: $result"
}

for mode in classic hifi; do
    measure "$mode" "BEEP 1,40" "$BEEP_NOTE" beep.tap "^BEEP" "^DONE"
    # The duet's strongest component is channel 1's third harmonic (2155 Hz).
    measure "$mode" "duet" 2155 duet.tap "DUET" 2 "$DUET_BASE"
done
note "both sounds measured"

# ---- hifi: a quiet speaker is exact silence, from the first sample on and
# across F10 off and on (the stream starts again at zero: no click) ----
rm -f "$CAPTURE"
start_machine quiet --sound hifi
sleep 0.5
tap F10
sleep 0.5
tap F10
sleep 1
stop_machine
quiet=$(/usr/bin/python3 "$MEASURE" "$CAPTURE" "$RATE" 0)
echo "hifi quiet: $quiet"
[ "$(field frames "$quiet")" -gt "$RATE" ] || fail "hifi: nothing reached the sound device: $quiet"
[ "$(field min "$quiet")" = 0 ] && [ "$(field max "$quiet")" = 0 ] \
    || fail "hifi: the quiet speaker is not silence at zero: $quiet"
note "hifi: a quiet speaker is silence at zero, F10 off and on included"
