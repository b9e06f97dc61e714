#!/bin/bash
# POKEs: a .pok beside a snapshot is offered when the snapshot loads; ticking
# its trainer changes the picture, unticking it (the .pok opened again with
# F1) puts it back. A damaged .pok is refused with its line number.
source "$(dirname "$0")/support/session.bash"
source "$(dirname "$0")/support/keyboard.bash"
source "$(dirname "$0")/support/dialogs.bash"
typing_session "$@"
export GSETTINGS_BACKEND=memory XDG_DATA_HOME="$E2E_DIR/data" XDG_CONFIG_HOME="$E2E_DIR/config"

# The cursor program of the Sinclair joystick test draws its cursor, '*',
# from its last byte but one on every pass; 'B' is 66.
pasmo --bin "$E2E_SUPPORT/sinclair_cursor.asm" show.bin || fail "pasmo could not assemble the program"
/usr/bin/python3 "$E2E_SUPPORT/program_sna.py" show.bin show.sna || fail "could not build the snapshot"
shown=$((0x8000 + $(stat -c %s show.bin) - 2))
printf 'NShow B\r\nZ 8 %d 66 65\r\nNPaged\r\nZ 1 49152 0 0\r\nY\r\n' "$shown" >show.pok
printf 'NBroken\nM 8 40000 1\nY\n' >broken.pok

expect_cursor() {  # char what
    wait_for_line "^ {16}$1 *\$" 10 || fail_showing "$2: the cursor is not '$1'"
    note "$2: the cursor shows '$1'"
}

start_brenvik show.sna
keys_to_window "POKEs Found" Return
wait_gone "POKEs Found"
keys_to_window "POKEs" space Escape
wait_gone "POKEs"
expect_cursor B "trainer ticked"

press F1
type_path "Open Snapshot" "$E2E_DIR/show.pok"
keys_to_window "POKEs" space Escape
wait_gone "POKEs"
expect_cursor '\*' "trainer unticked"

press F1
type_path "Open Snapshot" "$E2E_DIR/broken.pok"
keys_to_window "Cannot Use POKEs" Return
wait_gone "Cannot Use POKEs"
grep -q "line 2: a poke has four numbers" "$E2E_DIR/brenvik.out" || fail "the damaged .pok was not refused with its line"
note "a damaged .pok is refused with its line number"
expect_cursor '\*' "after the damaged .pok"
press Escape
expect_exit 0 10

# --pok applies every trainer that fits the 48K at start; --poke pokes too.
start_brenvik --pok show.pok show.sna
expect_cursor B "--pok"
grep -q '"Paged" is not for the 48K' "$E2E_DIR/brenvik.out" || fail "--pok did not leave out the 128K trainer"
press Escape
expect_exit 0 10
rm show.pok
start_brenvik --poke "$shown,67" show.sna
expect_cursor C "--poke"
press Escape
expect_exit 0 10
