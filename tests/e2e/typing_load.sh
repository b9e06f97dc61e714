#!/bin/bash
# Typing while CPU-bound processes compete with the program for the cores, as
# on a busy desktop: the program falls behind now and then and catches up,
# and every key must still arrive once. Ten runs of two lines, all exact.
source "$(dirname "$0")/support/session.bash"
source "$(dirname "$0")/support/keyboard.bash"
typing_session "$@"

RUNS=10
LETTERS=abcdefghijklmnopqrstuvwxyz

# One more busy loop than there are cores, each ended by the script or, at
# the latest, by its own time limit. The program runs at their priority, nice
# 5 (that of the builds that load these machines), and falls behind; xdotool
# and the X server, the desktop's input, keep theirs: starved as well, they
# would send keys late and really hold them too long.
BUSY=()
start_load() {
    local i
    for ((i = 0; i <= $(nproc); i++)); do
        nice -n 5 timeout 150 sh -c 'while :; do :; done' &
        BUSY+=($!)
    done
}
stop_load() {
    local p
    for p in "${BUSY[@]}"; do kill "$p" 2>/dev/null || true; done
    for p in "${BUSY[@]}"; do wait "$p" 2>/dev/null || true; done
    BUSY=()
}
trap 'stop_load; e2e_cleanup' EXIT

# A line typed, Enter, and the answer on row $2 of the screen. The keys are
# held about 0.1 s each, as a person types.
line_answers() {  # text row answer
    type_characters "$1" 400
    tap Return
    local i text
    for ((i = 0; i < 20; i++)); do
        text=$(screen_lines | sed -n "$2p")
        [ "$text" = "$3" ] && return 0
        sleep 0.25
    done
    echo "  '$1' gave row $2 '$text', not '$3'; the screen:" >&2
    screen_lines | cat -n | grep -v '^ *[0-9]*\s*$' >&2
    return 1
}

# Run k prints on rows 2k - 1 and 2k of the screen since the last start.
row=1
one_run() {
    line_answers "print 2+2" "$row" 4 &&
        line_answers "print \"$LETTERS\"" $((row + 1)) "$LETTERS"
}

REAL_BRENVIK=$BRENVIK
BRENVIK=$E2E_DIR/brenvik-nice
printf '#!/bin/sh\nexec nice -n 5 "%s" "$@"\n' "$REAL_BRENVIK" >"$BRENVIK"
chmod +x "$BRENVIK"

start_load
start_machine load
exact=0
for ((run = 1; run <= RUNS; run++)); do
    if one_run; then
        exact=$((exact + 1))
        row=$((row + 2))
    else
        row=1
        # Start afresh after a wrong line.
        stop_machine
        start_machine "load$run"
    fi
done
stop_machine
stop_load
[ "$exact" = "$RUNS" ] || fail "under load $exact of $RUNS runs typed exactly"
note "under load $exact of $RUNS runs typed 'print 2+2' and every letter exactly"
