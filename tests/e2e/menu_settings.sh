#!/bin/bash
# The menu, Pause and the settings file, as a user meets them: the Menu key
# and a right click open the menu and an item chosen with the keyboard acts;
# Pause freezes the machine (its FRAMES counter) and the picture and lets it
# run on; a settings file starts the window at its scale, a change made while
# running is written back on quit, and a garbled file gives one message and
# a normal start.
source "$(dirname "$0")/support/session.bash"
e2e_own_x_server "$@"
e2e_workdir
export GSETTINGS_BACKEND=memory
CONF="$XDG_CONFIG_HOME/brenvik/brenvik.conf"

# Walks the open menu with the keyboard: the group's place among File,
# Machine, Tape, View and Sound, then the item's place in it.
choose() {  # group_index item_index
    local i
    for i in $(seq "$1"); do xdotool key Down; sleep 0.2; done
    xdotool key Right
    sleep 0.3
    for i in $(seq 2 "$2"); do xdotool key Down; sleep 0.2; done
    xdotool key Return
}

expected_picture 300 1 boot1.png

# ---- The Menu key, then View > Scale 3 (the fourth item after Full Screen, Scale 1, Scale 2) ----
start_brenvik
wait_for_picture boot1.png 10 "start-up screen"
press Menu
sleep 1
choose 4 4
wait_for_size 768x576
note "Menu key, View > Scale 3: a 768 x 576 window"

# ---- A right click over the window, then View > Scale 2 ----
find_window
xdotool mousemove --window "$WID" 50 50
sleep 0.3
xdotool click 3
sleep 1
choose 4 3
wait_for_size 512x384
note "right click, View > Scale 2: a 512 x 384 window"
press Escape
expect_exit 0 10
[ -f "$CONF" ] && grep -qx 'scale = 2' "$CONF" || fail "the scale chosen in the menu was not kept: $(cat "$CONF" 2>&1)"
note "the scale chosen was written to the settings file"

# ---- Pause: the title, a still picture, and the FRAMES counter held ----
rm -f "$CONF"
started=$(date +%s.%N)
start_brenvik --save-on-exit frames.sna
wait_for_picture boot1.png 10 "start-up screen"
sleep 1
press Pause
paused_at=$(date +%s.%N)
for i in $(seq 20); do [ "$(title)" = "Brenvik - paused" ] && break; sleep 0.1; done
[ "$(title)" = "Brenvik - paused" ] || fail "the title is '$(title)', not 'Brenvik - paused'"
capture still1.png
sleep 2
capture still2.png
[ "$(differing_pixels still1.png still2.png)" = 0 ] || fail "the picture moved while paused (the cursor flashed)"
sleep 2
press Pause
resumed_at=$(date +%s.%N)
for i in $(seq 30); do [ "$(title)" != "Brenvik - paused" ] && break; sleep 0.1; done
[ "$(title)" != "Brenvik - paused" ] || fail "the title still says paused"
sleep 1
press Escape
expect_exit 0 10
ended=$(date +%s.%N)
# FRAMES (23672, three bytes) counts the frames the machine ran.
frames=$(/usr/bin/python3 -c '
import sys
d = open("frames.sna", "rb").read()
o = 27 + 23672 - 16384
print(d[o] | d[o + 1] << 8 | d[o + 2] << 16)')
/usr/bin/python3 - "$frames" "$started" "$paused_at" "$resumed_at" "$ended" <<'PY' || fail "FRAMES ran on while paused"
import sys
frames, started, paused, resumed, ended = int(sys.argv[1]), *map(float, sys.argv[2:])
ran = ended - started - (resumed - paused)
print("FRAMES %d: %.1f s of running at 50 a second would be at most %d; paused %.1f s" % (frames, ran, ran * 50, resumed - paused))
sys.exit(0 if frames <= ran * 50 + 10 and resumed - paused > 3 else 1)
PY
note "Pause holds the picture and the FRAMES counter and lets the machine run on"

# ---- A settings file: scale = 3 starts at 768 x 576; F5 then quit leaves scale = 1 ----
mkdir -p "$(dirname "$CONF")"
printf '# my settings\nscale = 3\n' >"$CONF"
start_brenvik
wait_for_size 768x576
press F5
wait_for_size 256x192
press Escape
expect_exit 0 10
[ "$(cat "$CONF")" = "$(printf '# my settings\nscale = 1')" ] || fail "the settings file is now: $(cat "$CONF")"
note "scale = 3 started a 768 x 576 window; F5 and quit left scale = 1, the comment kept"

# ---- A garbled settings file: one message, a normal start, the file left alone ----
{ head -c 300 /dev/urandom; printf '\0\nscale = 3\n'; } >"$CONF"
cp "$CONF" garbled.conf
start_brenvik
wait_for_picture boot1.png 10 "start-up screen with a garbled settings file"
press Escape
expect_exit 0 10
[ "$(grep -c 'brenvik.conf' brenvik.out)" = 1 ] || fail "not one message for the garbled file: $(cat brenvik.out)"
cmp -s "$CONF" garbled.conf || fail "the garbled file was changed though no setting was"
note "a garbled settings file: one message, a normal start, the file untouched"

# ---- --no-config: the file is neither read nor written ----
printf 'scale = 2\n' >"$CONF"
start_brenvik --no-config
wait_for_size 256x192
press F7
wait_for_size 768x576
press Escape
expect_exit 0 10
[ "$(cat "$CONF")" = "scale = 2" ] || fail "--no-config wrote the settings file"
note "--no-config reads and writes no settings"
