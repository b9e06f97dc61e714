# Captures what the program plays: ALSA's default device is replaced, for the
# calling test only, by a file over the null device, so everything Allegro's
# mixer plays lands in $CAPTURE. Sourced after session.bash, once e2e_workdir
# has made $E2E_DIR.

RATE=${RATE:-15600}  # the mixer runs at the beeper's own rate (no resampling) unless a test sets it
CAPTURE="$E2E_DIR/capture.raw"
MEASURE="$E2E_SUPPORT/audio_measure.py"

export HOME="$E2E_DIR/home"
mkdir -p "$HOME"
cat >"$HOME/.asoundrc" <<ASOUND
pcm.!default { type file; slave.pcm "null"; file "$CAPTURE"; format "raw" }
ASOUND
# The null device takes data as fast as it is given; Allegro's driver hands
# over one fragment per update, about 100 times a second, so a fragment of a
# hundredth of a second keeps the capture close to real time.
cat >"$HOME/allegro.cfg" <<CFG
[sound]
sound_freq = $RATE
sound_bits = 16
sound_stereo = 1
alsa_fragsize = $((RATE / 100))
CFG
export ALLEGRO="$HOME"

# Bytes captured so far, and one key=value field of audio_measure.py's line.
size() { stat -c %s "$CAPTURE" 2>/dev/null || echo 0; }
field() { sed -n "s/.*\b$1=\([^ ]*\).*/\1/p" <<<"$2"; }
