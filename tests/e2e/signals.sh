#!/bin/bash
# SIGTERM, SIGINT and SIGHUP end the program cleanly with 143, 130 and 129,
# also while a dialog or a message box is open: 20 SIGTERMs and 20 SIGINTs
# sent while the F1 file dialog is open, then SIGHUP and SIGTERM while a
# message box is open, SIGHUP while running and SIGTERM while a hot key is
# held down. Every run must end within a few seconds with exactly the
# expected status, leave no core file (cores are allowed here) and leave the
# log closed with its whole content.
source "$(dirname "$0")/support/session.bash"
e2e_own_x_server "$@"
e2e_workdir
export GSETTINGS_BACKEND=memory HOME="$E2E_DIR" XDG_CONFIG_HOME="$E2E_DIR/config"
ulimit -c unlimited 2>/dev/null || true
RUNS=${SIGNAL_RUNS:-20}
started=$(date +%s)

number_of() { case "$1" in TERM) echo 15 ;; INT) echo 2 ;; HUP) echo 1 ;; esac; }

# Waits for a visible window titled exactly $1, at most $2 seconds (15).
wait_window() {
    timeout "${2:-15}" xdotool search --sync --onlyvisible --name "^$1\$" >/dev/null 2>&1
}

# F1 until the file dialog shows: on a busy machine a key sent just as the
# window appears can be missed.
open_dialog() {
    local try
    for try in 1 2 3; do
        press F1
        wait_window "Open Snapshot" 5 && return 0
    done
    fail "F1 did not open the file dialog"
}

# Sends SIG and checks the status, the log and that no core was left.
stop_with() {  # SIG what
    local expected=$(( 128 + $(number_of "$1") )) status=0 i
    kill -s "$1" "$BRENVIK_PID"
    for i in $(seq 100); do
        kill -0 "$BRENVIK_PID" 2>/dev/null || break
        sleep 0.05
    done
    kill -0 "$BRENVIK_PID" 2>/dev/null && fail "SIG$1 $2: the program still runs after 5 seconds"
    wait "$BRENVIK_PID" || status=$?
    BRENVIK_PID=""
    [ "$status" = "$expected" ] || fail "SIG$1 $2: status $status, not $expected"
    [ "$(cat Logfile.txt)" = "Setup." ] || fail "SIG$1 $2: the log is not intact"
    ! ls core* >/dev/null 2>&1 || fail "SIG$1 $2: a core file was left"
    rm -f Logfile.txt
}

# ---- While the F1 dialog is open ----
for sig in TERM INT; do
    for run in $(seq "$RUNS"); do
        start_brenvik
        open_dialog
        stop_with "$sig" "in the file dialog (run $run)"
    done
    note "SIG$sig while the file dialog was open: $RUNS of $RUNS runs ended with $(( 128 + $(number_of "$sig") ))"
done

# ---- While a message box is open, and while running ----
mkfifo pipe.sna
for sig in HUP TERM; do
    start_brenvik pipe.sna
    wait_window "Cannot Read Snapshot" || fail "no message box for the FIFO"
    stop_with "$sig" "in a message box"
    note "SIG$sig while a message box was open: status $(( 128 + $(number_of "$sig") ))"
done
start_brenvik
sleep 0.5
stop_with HUP "while running"
note "SIGHUP while running: status 129"
# A hot key that acts on release, held down: the signal does not wait for it.
start_brenvik
sleep 0.5
xdotool keydown F10
sleep 0.3
stop_with TERM "while F10 was held"
xdotool keyup F10
note "SIGTERM while F10 was held down: status 143"

# ---- Standard error a pipe that nobody reads ----
# The messages (no 48.rom, Not Found) must not end the program by SIGPIPE.
{ "$BRENVIK" missing.sna 2>&1 & echo $! >reader-gone.pid; } | true
wait_window "Not Found" || fail "with standard error a closed pipe the program ended before its message box"
kill -s TERM "$(cat reader-gone.pid)"
for i in $(seq 100); do kill -0 "$(cat reader-gone.pid)" 2>/dev/null || break; sleep 0.05; done
kill -0 "$(cat reader-gone.pid)" 2>/dev/null && fail "SIGTERM did not end the program whose output nobody reads"
note "standard error a closed pipe: the program ran on to its message box"
note "all runs in $(( $(date +%s) - started )) s"
