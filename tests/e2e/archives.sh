#!/bin/bash
# Programs inside archives, as they are downloaded, under a virtual X server:
#  - `brenvik prog.zip` (Info-ZIP's zip around the zmakebas tape) loads the
#    tape through the default ROM: the program's lines end up on the screen;
#  - `brenvik show.sna.gz` (gzip around a snapshot) starts with the snapshot's
#    program running;
#  - F1 with a zip holding both offers them in a list; the second chosen, the
#    snapshot runs;
#  - a damaged zip is refused with "Damaged Archive" and the ROM runs on.
source "$(dirname "$0")/support/session.bash"
source "$(dirname "$0")/support/keyboard.bash"
source "$(dirname "$0")/support/dialogs.bash"
e2e_own_x_server "$@"
e2e_workdir
source "$E2E_SUPPORT/tapes.bash"
command -v zip >/dev/null || { echo "skip: zip is not installed"; exit 0; }
command -v gzip >/dev/null || { echo "skip: gzip is not installed"; exit 0; }

# A snapshot whose program writes a line in the ROM's glyphs, then waits.
cat >show.asm <<'ASM'
        org 8000h
        ld hl,msg
        call glyphs
        jr $
        include "glyphs.asm"
msg:    defb "FROM AN ARCHIVE",0
ASM
pasmo --bin show.asm show.bin || fail "pasmo could not assemble the program"
/usr/bin/python3 "$E2E_SUPPORT/program_sna.py" show.bin show.sna || fail "could not build the snapshot"
zip -q prog.zip prog.tap
zip -q both.zip prog.tap show.sna
gzip -k show.sna
head -c 200 both.zip >damaged.zip

# ---- The command line ----
start_focused "$E2E_DIR/prog.zip"
wait_for_line '^HELLO TAPE$' 40 || fail_showing "brenvik prog.zip: the program's first line is not on the screen"
wait_for_line '^42$' 5 || fail_showing "brenvik prog.zip: the program's second line is not on the screen"
note "brenvik prog.zip loads the tape inside it"
stop_machine

start_focused "$E2E_DIR/show.sna.gz"
wait_for_line '^FROM AN ARCHIVE$' 20 || fail_showing "brenvik show.sna.gz: the snapshot's line is not on the screen"
note "brenvik show.sna.gz starts the snapshot inside it"
stop_machine

# ---- F1 with a zip of two programs ----
start_focused
wait_for_line '1981' 20 || fail_showing "the ROM did not start"
press F1
type_path "Open Snapshot" "$E2E_DIR/both.zip"
keys_to_window "Open from Archive" Down Return
wait_gone "Open from Archive"
xdotool windowfocus --sync "$WID"
wait_for_line '^FROM AN ARCHIVE$' 20 || fail_showing "F1 both.zip: the snapshot chosen is not running"
note "F1 with a zip of two programs offers them and loads the one chosen"
stop_machine

# ---- A damaged zip ----
start_brenvik "$E2E_DIR/damaged.zip"
dismiss_box "Damaged Archive"
xdotool windowfocus --sync "$WID"
grep -q "Damaged Archive: $E2E_DIR/damaged.zip" "$E2E_DIR/brenvik.out" || fail "the message does not name the damaged archive"
wait_for_line '1981' 20 || fail_showing "after a damaged archive the ROM does not run on"
stop_machine
echo "archives: ok"
