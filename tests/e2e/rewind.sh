#!/bin/bash
# Rewind and the quick-save slots as a user meets them:
#  - a BASIC line typed, Delete held until no trace of it is left (the
#    title counting the seconds back), let go: the machine runs on without
#    it, and the line typed again is listed;
#  - Keypad Enter saves into slot 1, NEW, Keypad 0 loads it: LIST gives the
#    line back; Keypad 2 then Keypad 0: the title says slot 2 is empty;
#  - the slot's .z80 loads as the file named on the command line, and the
#    slots of that run go into a folder named after it;
#  - a slot folder that cannot be made (a file in its place): a message box
#    with the reason, and the machine runs on.
source "$(dirname "$0")/support/session.bash"
source "$(dirname "$0")/support/keyboard.bash"
typing_session "$@"
export GSETTINGS_BACKEND=memory XDG_CONFIG_HOME="$E2E_DIR/config" XDG_DATA_HOME="$E2E_DIR/data"
SLOTS="$XDG_DATA_HOME/brenvik/slots"

wait_title() {  # pattern [seconds]: waits until the title matches the extended regular expression
    local i
    for ((i = 0; i < ${2:-10} * 10; i++)); do
        title | grep -Eq -- "$1" && return 0
        sleep 0.1
    done
    fail_showing "the title '$(title)' never matched '$1'"
}
# (The screen is read whole first: grep -q leaving early would break the
# reader's pipe, and the pipeline would fail under pipefail.)
listed() { grep -Eq '^ *10 PRINT 42$' <<<"$(screen_lines)"; }
# Neither listed nor being typed in the edit line: back before the typing
# began (a moment in the middle of it can show "10 print 4" and the
# flashing cursor, which the screen reader may take for a digit).
no_trace() { ! grep -qi 'print' <<<"$(screen_lines)"; }

# ---- Delete held: the typed line goes, and comes back typed again ----
start_machine rewind
sleep 3  # states kept from before the typing
until_shown "10 print 42" '^ *10 PRINT 42$'
sleep 1
xdotool keydown Delete
gone=0
for _ in $(seq 150); do
    if no_trace; then
        gone=1
        break
    fi
    sleep 0.2
done
title | grep -Eq '^Brenvik : [0-9]+ fps - rewind -[0-9]+ s$' || { xdotool keyup Delete; fail "the title '$(title)' does not show the rewind"; }
xdotool keyup Delete
[ "$gone" = 1 ] || fail_showing "the line is still there after Delete was held 30 seconds"
wait_title '^Brenvik : [0-9]+ fps$' 5
sleep 1
no_trace || fail_showing "the line came back by itself after Delete was let go"
note "Delete held took the typed line off the screen; the title counted back"
until_shown "10 print 42" '^ *10 PRINT 42$'
note "typed again, the line is back"

# ---- Quick save, NEW, quick load ----
tap KP_Enter
wait_file "$SLOTS/basic/slot1.z80"
wait_title ' - saved to slot 1$' 5
until_shown "new" '1981'
listed && fail_showing "NEW left the line"
tap KP_0
wait_title ' - slot 1 loaded$' 5
expect_listed '^ *10 PRINT 42$'
note "quick save, NEW, quick load: LIST gives the line back"
tap KP_2
wait_title ' - slot 2$' 5
tap KP_0
wait_title ' - slot 2 is empty$' 5
wait_title '^Brenvik : [0-9]+ fps$' 5
listed || fail_showing "loading the empty slot changed the screen"
note "slot 2 chosen; loading it, empty, says so and changes nothing"
stop_machine

# ---- The slot is a .z80 file: it loads as the command-line file ----
cp "$SLOTS/basic/slot1.z80" "$E2E_DIR/kept.z80"
mkdir -p "$E2E_DIR/second"
cd "$E2E_DIR/second"
start_brenvik "$E2E_DIR/kept.z80"
xdotool windowfocus --sync "$WID"
expect_listed '^ *10 PRINT 42$'
tap KP_Enter
wait_file "$SLOTS/kept.z80/slot1.z80"
note "the slot file loads as a .z80; the next run's slots go under the name of the file it loaded"
stop_machine

# ---- A slot folder that cannot be made: the reason in a message box, the machine runs on ----
export XDG_DATA_HOME="$E2E_DIR/blocked"
mkdir -p "$XDG_DATA_HOME/brenvik/slots"
echo "not a folder" >"$XDG_DATA_HOME/brenvik/slots/basic"
start_machine blocked
tap KP_Enter
box=$(wait_window "Cannot Save Slot")
sleep 0.3
xdotool windowfocus --sync "$box" key Return
wait_gone "Cannot Save Slot"
grep -q "slots/basic is not a folder" "$E2E_DIR/brenvik.out" || fail "the message does not give the reason"
xdotool windowfocus --sync "$WID"
until_shown "print 6" '^6$'
note "a slot that cannot be written is reported and the machine runs on"
stop_machine
