#!/bin/bash
# Saving snapshots as a user does:
#  - a BASIC line typed, F2, a name without extension typed into the save
#    dialog: NAME.z80 is written; Esc; `brenvik NAME.z80` and LIST shows the line;
#  - F2 again with the same name: the dialog comes back with NAME.z80 filled
#    in and GTK asks before replacing it;
#  - `--save-on-exit FILE.sna` combined with a snapshot to load: Esc writes
#    FILE.sna, and it loads back with the line;
#  - `--save-on-exit` into a folder that does not exist, the window closed
#    with its close button: a message box names the file and the reason, and
#    the program ends with status 1;
#  - `--save-on-exit` with a name that is neither .z80 nor .sna: refused at
#    start-up with status 2.
source "$(dirname "$0")/support/session.bash"
source "$(dirname "$0")/support/keyboard.bash"
e2e_own_x_server "$@"
e2e_workdir

export HOME="$E2E_DIR/home" GSETTINGS_BACKEND=memory XDG_CONFIG_HOME="$E2E_DIR/config" XDG_DATA_HOME="$E2E_DIR/data"
mkdir -p "$HOME"
echo 'pcm.!default { type null }' >"$HOME/.asoundrc"

# One xdotool for both halves of a key stroke: under load, starting a second
# one could take long enough for the ROM to see the key held and repeat it.
# The stroke is short: a program that got no processor time for a while runs
# the frames it owes at once, and a key down at that moment is seen held for
# all of them. A missed key is typed again (type_checked).
tap() {
    xdotool keydown "$1" sleep 0.08 keyup "$1"
    sleep 0.15
}

# Types a path into the save dialog's name field and confirms it.
save_as() {  # save_as PATH
    local dialog
    dialog=$(wait_window "Save Snapshot")
    xdotool windowfocus --sync "$dialog" 2>/dev/null || true
    sleep 0.5
    xdotool key ctrl+a
    sleep 0.1
    xdotool type --delay 30 "$1"
    sleep 0.3
    xdotool key Return
}
# ---- F2: save a typed BASIC line through the dialog ----
start_machine first
until_shown "10 print 42" '^ *10 PRINT 42$'
wait_for_line 'OK, 0:1' 1 && fail_showing "a report is shown before LIST"
press F2
save_as "$E2E_DIR/session"
wait_gone "Save Snapshot"
wait_file "$E2E_DIR/session.z80"
note "F2 wrote session.z80 for the name typed without extension"

# The same name again: the dialog returns with .z80 added (a dialog of the
# same title, new), and GTK asks before the existing file is replaced; Return
# answers Replace, and the file is replaced by a new one (a new inode).
inode=$(stat -c %i "$E2E_DIR/session.z80")
xdotool windowfocus --sync "$WID"
press F2
first=$(wait_window "Save Snapshot")
save_as "$E2E_DIR/session"
again=""
for _ in $(seq 100); do
    again=$(xdotool search --onlyvisible --name '^Save Snapshot$' 2>/dev/null | grep -vx "$first" | head -1 || true)
    [ -n "$again" ] && break
    sleep 0.1
done
[ -n "$again" ] || fail "the save dialog did not come back for session.z80"
xdotool windowfocus --sync "$again" 2>/dev/null || true
sleep 0.5
xdotool key Return  # the name filled in: session.z80
sleep 1
xdotool key Return  # GTK's question: Replace
wait_gone "Save Snapshot"
for _ in $(seq 50); do
    [ "$(stat -c %i "$E2E_DIR/session.z80")" != "$inode" ] && break
    sleep 0.1
done
[ "$(stat -c %i "$E2E_DIR/session.z80")" != "$inode" ] || fail "session.z80 was not replaced"
note "a second save to the same name asked before replacing session.z80"
xdotool windowfocus --sync "$WID"
tap Escape
expect_exit 0 15

# ---- The saved file loads back (its screen without a report): LIST shows the line ----
mkdir -p "$E2E_DIR/second"
cd "$E2E_DIR/second"
start_brenvik --save-on-exit "$E2E_DIR/exit.sna" "$E2E_DIR/session.z80"
expect_listed '^ *10 PRINT 42$'
note "brenvik session.z80 lists the saved line"

# ---- --save-on-exit: Esc writes the .sna, which loads back ----
xdotool windowfocus --sync "$WID"
tap Escape
expect_exit 0 15
[ "$(stat -c %s "$E2E_DIR/exit.sna" 2>/dev/null)" = 49179 ] || fail "Esc did not write exit.sna as a 48K .sna"
cd "$E2E_DIR"
mkdir -p third
cd third
start_brenvik "$E2E_DIR/exit.sna"
expect_listed '^ *10 PRINT 42$'
xdotool windowfocus --sync "$WID"
tap Escape
expect_exit 0 15
note "--save-on-exit wrote exit.sna on Esc, and it lists the line"

# ---- --save-on-exit that cannot be written: a message, status 1 ----
cd "$E2E_DIR"
start_brenvik --save-on-exit "$E2E_DIR/no-such-folder/x.z80"
sleep 1
close_window  # the close button ends the program as Esc does
box=$(wait_window "Cannot Save Snapshot")
xdotool windowfocus --sync "$box" 2>/dev/null || true
sleep 0.3
xdotool key Return
expect_exit 1 15
grep -q "Cannot Save Snapshot: $E2E_DIR/no-such-folder/x.z80" brenvik.out || fail "the message does not name the file"
grep -q "No such file or directory" brenvik.out || fail "the message does not give the reason"
note "a snapshot that cannot be written on exit is reported, status 1"

# ---- A --save-on-exit name of no snapshot format is refused at once ----
status=0
"$BRENVIK" --save-on-exit "$E2E_DIR/x.txt" >bad.out 2>&1 || status=$?
[ "$status" = 2 ] || fail "--save-on-exit x.txt ended with status $status, not 2"
grep -q "must end in .z80 or .sna" bad.out || fail "--save-on-exit x.txt gives no reason"
note "--save-on-exit x.txt is refused at start-up"
