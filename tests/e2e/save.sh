#!/bin/bash
# Saving snapshots as a user does:
#  - a BASIC line typed, F2, a name without extension typed into the save
#    dialog: NAME.z80 is written; Esc; `brenvik NAME.z80` and LIST shows the line;
#  - F2 again with the same name: the dialog comes back with NAME.z80 filled
#    in and GTK asks before replacing it;
#  - `--save-on-exit FILE.sna` combined with a snapshot to load: a second line
#    typed, Esc writes FILE.sna, and it loads back with both lines;
#  - `--save-on-exit` into a folder that does not exist: a message box names
#    the file and the reason, and the program ends with status 1;
#  - `--save-on-exit` with a name that is neither .z80 nor .sna: refused at
#    start-up with status 2.
source "$(dirname "$0")/support/session.bash"
source "$(dirname "$0")/support/keyboard.bash"
e2e_own_x_server "$@"
e2e_workdir

export HOME="$E2E_DIR/home" GSETTINGS_BACKEND=memory XDG_CONFIG_HOME="$E2E_DIR/config" XDG_DATA_HOME="$E2E_DIR/data"
mkdir -p "$HOME"
echo 'pcm.!default { type null }' >"$HOME/.asoundrc"

wait_window() {  # wait_window TITLE: the id of a visible window with exactly that title
    local id
    id=$(timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -1) || true
    [ -n "$id" ] || fail_showing "no window titled \"$1\""
    echo "$id"
}
wait_gone() {  # wait_gone TITLE
    local i
    for i in $(seq 150); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    fail "the window \"$1\" did not close"
}
wait_file() {  # wait_file PATH
    local i
    for i in $(seq 100); do
        [ -s "$1" ] && return 0
        sleep 0.1
    done
    fail "$1 was not written"
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
# A line of the listing, after CLS and LIST in a freshly started machine.
expect_listed() {  # pattern...
    xdotool windowfocus --sync "$WID"
    type_text "cls"
    tap Return
    type_text "list"
    tap Return
    local p
    for p in "$@"; do
        wait_for_line "$p" 10 || fail_showing "LIST does not show a line matching '$p'"
    done
}

# ---- F2: save a typed BASIC line through the dialog ----
start_machine first
type_text "10 print 42"
tap Return
wait_for_line '^10 ' 10 || fail_showing "the BASIC line was not entered"
press F2
save_as "$E2E_DIR/session"
wait_gone "Save Snapshot"
wait_file "$E2E_DIR/session.z80"
note "F2 wrote session.z80 for the name typed without extension"

# The same name again: the dialog returns with .z80 added and GTK asks before
# the existing file is replaced.
cp "$E2E_DIR/session.z80" "$E2E_DIR/before.z80"
xdotool windowfocus --sync "$WID"
press F2
save_as "$E2E_DIR/session"
sleep 1
dialog=$(wait_window "Save Snapshot")
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
xdotool key Return  # the name filled in: session.z80
for _ in $(seq 100); do
    # GTK's question is a dialog of its own; "Replace" answers it.
    if xdotool search --onlyvisible --name '^$' >/dev/null 2>&1 && xdotool key alt+r 2>/dev/null; then
        sleep 0.3
        xdotool search --onlyvisible --name '^Save Snapshot$' >/dev/null 2>&1 || break
    fi
    sleep 0.1
done
wait_gone "Save Snapshot"
note "a second save to the same name asked before replacing session.z80"
stop_machine

# ---- The saved file loads back: LIST shows the line ----
mkdir -p "$E2E_DIR/second"
cd "$E2E_DIR/second"
start_brenvik --save-on-exit "$E2E_DIR/exit.sna" "$E2E_DIR/session.z80"
expect_listed '^10 (print|PRINT) 42'
note "brenvik session.z80 lists the saved line"

# ---- --save-on-exit: Esc writes the .sna, which loads back ----
type_text "20 print 7"
tap Return
wait_for_line '^20 ' 10 || fail_showing "the second BASIC line was not entered"
tap Escape
expect_exit 0 15
[ "$(stat -c %s "$E2E_DIR/exit.sna")" = 49179 ] || fail "exit.sna is not a 48K .sna"
cd "$E2E_DIR"
mkdir -p third
cd third
start_brenvik "$E2E_DIR/exit.sna"
expect_listed '^10 (print|PRINT) 42' '^20 (print|PRINT) 7'
tap Escape
expect_exit 0 15
note "--save-on-exit wrote exit.sna on Esc, and it lists both lines"

# ---- --save-on-exit that cannot be written: a message, status 1 ----
cd "$E2E_DIR"
start_brenvik --save-on-exit "$E2E_DIR/no-such-folder/x.z80"
sleep 1
press Escape
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
