# Shared steps of the end-to-end tests: an X server of their own, a
# temporary working directory, the program, its window, keys and pictures.
# Sourced by tests/e2e/*.sh.

set -euo pipefail

E2E_SUPPORT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

# Runs the calling script again inside its own virtual X server. The server
# picks a free display number itself and reports it once it accepts
# connections, so tests started at the same moment never share or race for one.
# Without -noreset the server resets whenever its last client leaves, and a
# program connecting at that moment (while xdotool comes and goes) is refused.
e2e_own_x_server() {
    if [ -n "${E2E_INSIDE_X:-}" ]; then return 0; fi
    : "${BRENVIK:?BRENVIK must name the program}"
    local number_file xvfb status=0 i
    number_file="$(mktemp /tmp/brenvik-e2e-display.XXXXXX)"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$number_file" 2>/dev/null &
    xvfb=$!
    for i in $(seq 100); do
        [ -s "$number_file" ] && break
        sleep 0.1
    done
    if [ ! -s "$number_file" ]; then
        kill "$xvfb" 2>/dev/null || true
        rm -f "$number_file"
        echo "FAIL: the virtual X server did not start" >&2
        exit 1
    fi
    E2E_INSIDE_X=1 DISPLAY=":$(head -1 "$number_file")" bash "$0" "$@" || status=$?
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
    rm -f "$number_file"
    exit "$status"
}

# A fresh working directory, removed at exit along with a program left running.
e2e_workdir() {
    E2E_DIR="$(mktemp -d /tmp/brenvik-e2e.XXXXXX)"
    cd "$E2E_DIR"
    # The settings and the recent files of the test's own, never the user's.
    export XDG_CONFIG_HOME="$E2E_DIR/config" XDG_DATA_HOME="$E2E_DIR/data"
    trap e2e_cleanup EXIT
}

e2e_cleanup() {
    if [ -n "${BRENVIK_PID:-}" ] && kill -0 "$BRENVIK_PID" 2>/dev/null; then
        kill "$BRENVIK_PID" 2>/dev/null || true
        wait "$BRENVIK_PID" 2>/dev/null || true
    fi
    cd /
    rm -rf "$E2E_DIR"
}

fail() {
    echo "FAIL: $*" >&2
    if [ -f "$E2E_DIR/brenvik.out" ]; then
        echo "--- program output:" >&2
        grep -v -e '^ALSA lib' "$E2E_DIR/brenvik.out" >&2 || true
    fi
    if [ -f "$E2E_DIR/Logfile.txt" ]; then
        echo "--- Logfile.txt:" >&2
        cat "$E2E_DIR/Logfile.txt" >&2
    fi
    exit 1
}

note() { echo "ok: $*"; }

# The expected picture after FRAMES frames at SCALE, from the build's tool.
expected_picture() {  # frames scale out.png
    "$BRENVIK_BUILD/rom_screen" "$1" "$2" "$3" 2>/dev/null || fail "rom_screen could not make $3"
}

# Starts the program in the background and waits for its window.
start_brenvik() {
    "$BRENVIK" "$@" >"$E2E_DIR/brenvik.out" 2>&1 &
    BRENVIK_PID=$!
    local i
    for i in $(seq 100); do
        WID="$(xdotool search --onlyvisible --name '^Brenvik' 2>/dev/null | head -1 || true)"
        [ -n "$WID" ] && return 0
        kill -0 "$BRENVIK_PID" 2>/dev/null || fail "the program ended before it opened a window"
        sleep 0.1
    done
    fail "no window named Brenvik appeared within 10 seconds"
}

# The program's window; a mode change may give it a new one.
find_window() {
    local i
    for i in $(seq 50); do
        WID="$(xdotool search --onlyvisible --name '^Brenvik' 2>/dev/null | head -1 || true)"
        [ -n "$WID" ] && return 0
        sleep 0.1
    done
    fail "the window is gone"
}

# Holds a key for about 100 ms in the focused window.
press() {
    find_window
    xdotool windowfocus --sync "$WID"
    xdotool keydown "$1"
    sleep 0.1
    xdotool keyup "$1"
}

window_size() {
    find_window
    xwininfo -id "$WID" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}'
}

# Waits until the window has the given size (the mode change takes a moment).
wait_for_size() {  # WxH
    local i size=""
    for i in $(seq 50); do
        size="$(window_size)"
        [ "$size" = "$1" ] && return 0
        sleep 0.1
    done
    fail "the window is $size, not $1"
}

title() { xdotool getwindowname "$WID"; }

capture() {  # out.png
    find_window
    import -window "$WID" "$1"
}

# Number of pixels that differ by more than a rounding of the colour levels.
differing_pixels() {  # a.png b.png
    compare -metric AE -fuzz 3% "$1" "$2" null: 2>&1 || true
}

# Waits until the window shows the expected picture; 0 pixels may differ.
wait_for_picture() {  # expected.png seconds what
    local tries=$(( $2 * 4 )) i diff=""
    for i in $(seq "$tries"); do
        capture "$E2E_DIR/shot.png"
        diff="$(differing_pixels "$1" "$E2E_DIR/shot.png")"
        [ "$diff" = "0" ] && return 0
        sleep 0.25
    done
    cp "$E2E_DIR/shot.png" "/tmp/brenvik-e2e-last-shot.png" 2>/dev/null || true
    fail "$3: $diff pixels differ from the expected picture (last shot in /tmp/brenvik-e2e-last-shot.png)"
}

# Waits (up to 10 seconds) until a file is there and not empty.
wait_file() {  # wait_file PATH
    local i
    for i in $(seq 100); do
        [ -s "$1" ] && return 0
        sleep 0.1
    done
    fail "$1 was not written"
}

# Dialogs and message boxes: their windows by title.
wait_window() {  # wait_window TITLE: the id of a visible window with exactly that title
    local id
    id=$(timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -1) || true
    [ -n "$id" ] || fail "no window titled \"$1\""
    echo "$id"
}
wait_gone() {  # wait_gone TITLE
    local i
    for i in $(seq 150); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    import -window root /tmp/brenvik-e2e-last.png 2>/dev/null || true
    fail "the window \"$1\" did not close (the screen is in /tmp/brenvik-e2e-last.png)"
}

# Waits for the program to end and checks its status.
expect_exit() {  # status seconds
    local i
    for i in $(seq $(( $2 * 10 ))); do
        if ! kill -0 "$BRENVIK_PID" 2>/dev/null; then
            local status=0
            wait "$BRENVIK_PID" || status=$?
            BRENVIK_PID=""
            [ "$status" = "$1" ] || fail "the program ended with status $status, not $1"
            return 0
        fi
        sleep 0.1
    done
    fail "the program did not end within $2 seconds"
}

close_window() { /usr/bin/python3 "$E2E_SUPPORT/close_window.py" "$WID"; }
