#!/bin/bash
# Tapes as a user loads them, under a virtual X server:
#  - `brenvik prog.tap` (made by zmakebas, autostarting) resets, types LOAD ""
#    and loads at full speed: the program's lines end up on the screen;
#  - a 40 KB machine-code tape made by pasmo loads the same way (the time it
#    takes is printed);
#  - F1 with a .tzx (turbo block) loads and runs it the same way; Print
#    Screen then shows the tape browser;
#  - a tape whose hardware block asks for the 128K says so in a box, and
#    loads all the same;
#  - a damaged tape is refused with its message; Esc quits with status 0.
source "$(dirname "$0")/support/session.bash"
source "$(dirname "$0")/support/keyboard.bash"
source "$(dirname "$0")/support/dialogs.bash"
e2e_own_x_server "$@"
e2e_workdir
source "$E2E_SUPPORT/tapes.bash"

# ---- The command line ----
t0=$(date +%s.%N)
start_focused "$E2E_DIR/prog.tap"
wait_for_line '^HELLO TAPE$' 40 || fail_showing "brenvik prog.tap: the program's first line is not on the screen"
wait_for_line '^42$' 5 || fail_showing "brenvik prog.tap: the program's second line is not on the screen"
note "brenvik prog.tap shows the program's output after $(since "$t0") s"
stop_machine

t0=$(date +%s.%N)
start_focused "$E2E_DIR/big.tap"
wait_for_line '^BIG TAPE LOADED$' 40 || fail_showing "brenvik big.tap: the code's message is not on the screen"
note "brenvik big.tap (40 KB of code) shows its message after $(since "$t0") s"
stop_machine

# ---- F1 with a .tzx ----
start_focused
wait_for_line '1981' 20 || fail_showing "the ROM did not start"
press F1
dialog=$(timeout 15 xdotool search --sync --onlyvisible --name '^Open Snapshot$' | head -1) || true
[ -n "$dialog" ] || fail "F1 opened no dialog"
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
sleep 0.3
xdotool key ctrl+l; sleep 0.3
xdotool type --delay 30 "$E2E_DIR/prog.tzx"; sleep 0.3
xdotool key Return
wait_for_line '^HELLO TAPE$' 40 || fail_showing "F1 prog.tzx: the program's first line is not on the screen"
note "F1 with a .tzx loads and runs it"
xdotool windowfocus --sync "$WID"
# The tape browser lists the tape's blocks; the first chosen, it closes.
press Print
keys_to_window "Tape Browser" Home Return
wait_gone "Tape Browser"
note "Print Screen opens the tape browser"
xdotool windowfocus --sync "$WID"
stop_machine

# ---- A tape for the 128K: said, and played all the same ----
start_brenvik "$E2E_DIR/prog128.tzx"
dismiss_box "128K Tape"
xdotool windowfocus --sync "$WID"
wait_for_line '^HELLO TAPE$' 40 || fail_showing "prog128.tzx: the program's first line is not on the screen"
note "a tape for the 128K is said to be one, and loads"
stop_machine

# ---- A damaged tape ----
start_brenvik "$E2E_DIR/damaged.tzx"
dismiss_box "Damaged Tape"
xdotool windowfocus --sync "$WID"
grep -q "Damaged Tape: $E2E_DIR/damaged.tzx" "$E2E_DIR/brenvik.out" || fail "the message does not name the damaged tape"
wait_for_line '1981' 20 || fail_showing "after a damaged tape the ROM does not run on"
stop_machine
echo "tape: ok"
