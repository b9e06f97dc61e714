#!/bin/bash
# Files that are not what the program wants never make it wait or vanish:
#  - a named pipe as 48.rom: a clear message on standard error at once and
#    status 1, no window;
#  - a named pipe on the command line: its message box, then Esc still quits;
#    chosen in the F1 dialog: refused as no file, and the dialog stays open;
#  - a 4000-character path: a "Not Found" box that fits on the screen, with
#    the system's reason;
#  - a file name that is not UTF-8: its box without text-layout warnings;
#  - a named pipe as Logfile.txt: said once, the program runs on.
source "$(dirname "$0")/support/session.bash"
e2e_own_x_server "$@"
e2e_workdir
export GSETTINGS_BACKEND=memory HOME="$E2E_DIR" XDG_CONFIG_HOME="$E2E_DIR/config"

seconds_since() { awk -v s="$1" -v n="$(date +%s.%N)" 'BEGIN { printf "%.2f", n - s }'; }

# Waits for a window with exactly this title; prints its id.
wait_window() {
    local id
    id=$(timeout 15 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -1) || true
    [ -n "$id" ] || fail "no window titled \"$1\""
    echo "$id"
}

# OK on the message box titled $1; prints the box's width first.
dismiss() {
    local id i
    id=$(wait_window "$1")
    xwininfo -id "$id" | awk '/Width:/ {print $2}'
    xdotool windowfocus --sync "$id" 2>/dev/null || true
    xdotool key --window "$id" Return
    for i in $(seq 50); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    fail "the box \"$1\" did not close"
}

# ---- 48.rom is a named pipe ----
mkfifo 48.rom
started=$(date +%s.%N)
status=0
timeout 20 "$BRENVIK" >rom.out 2>&1 || status=$?
took=$(seconds_since "$started")
[ "$status" = 1 ] || fail "with a FIFO as 48.rom the program ended with status $status, not 1"
grep -q 'cannot read the ROM image "48.rom": it is a named pipe (FIFO), not a file' rom.out ||
    fail "no clear message for a FIFO 48.rom: $(cat rom.out)"
awk -v t="$took" 'BEGIN { exit !(t < 5) }' || fail "the FIFO 48.rom took $took s to refuse"
note "FIFO 48.rom: status 1 after $took s: $(head -1 rom.out)"
rm 48.rom

# ---- A named pipe on the command line ----
mkfifo pipe.sna
start_brenvik pipe.sna
dismiss "Cannot Read Snapshot" >/dev/null
grep -q "It is a named pipe (FIFO), not a file." brenvik.out || fail "the FIFO's box does not say what it is"
press Escape
expect_exit 0 5
note "FIFO snapshot: its message box, then Esc quits with status 0"

# ---- The same pipe chosen in the F1 dialog ----
start_brenvik
dialog=""
for try in 1 2 3; do
    press F1
    dialog=$(timeout 5 xdotool search --sync --onlyvisible --name '^Open Snapshot$' 2>/dev/null | head -1) || true
    [ -n "$dialog" ] && break
done
[ -n "$dialog" ] || fail "F1 did not open the file dialog"
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
sleep 0.3
xdotool key ctrl+l
sleep 0.3
xdotool type --delay 30 "$E2E_DIR/pipe.sna"
sleep 0.3
xdotool key Return
dismiss "Cannot Read Snapshot" >/dev/null
xdotool search --onlyvisible --name '^Open Snapshot$' >/dev/null || fail "the dialog closed on a FIFO"
# The first Esc may only close the location field's completion.
for try in 1 2 3 4 5; do
    xdotool windowfocus --sync "$dialog" 2>/dev/null || true
    xdotool key Escape
    for i in $(seq 10); do
        xdotool search --onlyvisible --name '^Open Snapshot$' >/dev/null 2>&1 || break 2
        sleep 0.1
    done
done
xdotool search --onlyvisible --name '^Open Snapshot$' >/dev/null 2>&1 && fail "Esc did not close the dialog"
press Escape
expect_exit 0 5
note "FIFO chosen with F1: refused as not a file, the dialog stays, Esc quits"

# ---- A path far too long for one line ----
folders=$(printf 'folder%04d/' $(seq 400))
long="$E2E_DIR/${folders:0:4000}.sna"
start_brenvik "$long"
width=$(dismiss "Not Found")
[ "$width" -le 1280 ] || fail "the box for a long path is $width pixels wide, wider than the screen"
grep -q "The file cannot be opened: " brenvik.out || fail "no reason for the long path"
press Escape
expect_exit 0 5
note "4000-character path: the box is $width pixels wide, with the reason"

# ---- A name that is not UTF-8 ----
start_brenvik $'caf\xe9.sna'
dismiss "Not Found" >/dev/null
grep -aq "Invalid UTF-8" brenvik.out && fail "the box was given a name that is not UTF-8"
press Escape
expect_exit 0 5
note "a Latin-1 name: box without warnings"

# ---- Logfile.txt is a named pipe ----
rm -f Logfile.txt
mkfifo Logfile.txt
start_brenvik
said=0
for i in $(seq 50); do
    said=$(grep -c 'cannot write the log Logfile.txt: it is not a regular file; running without it.' brenvik.out || true)
    [ "$said" != 0 ] && break
    sleep 0.1
done
sleep 0.5
said=$(grep -c 'cannot write the log Logfile.txt' brenvik.out || true)
[ "$said" = 1 ] || fail "the unwritable log was said $said times, not once"
press Escape
expect_exit 0 5
note "FIFO Logfile.txt: said once, the program ran and quit with status 0"
