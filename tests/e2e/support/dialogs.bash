# The program's GTK dialogs, for the end-to-end tests: waiting for one by its
# title, typing a path into a file chooser. Builds on session.bash.

# The id of a visible window with exactly that title, once it is there.
wait_window() {  # title
    local id
    id=$(timeout 15 xdotool search --sync --onlyvisible --name "^$1\$" | head -1) || true
    [ -n "$id" ] || fail "no window titled \"$1\""
    echo "$id"
}

wait_gone() {  # title
    local i
    for i in $(seq 100); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    fail "window \"$1\" did not close"
}

# Keys into the window titled title, once it is there.
keys_to_window() {  # title key...
    local id
    id=$(wait_window "$1")
    shift
    xdotool windowfocus --sync "$id" 2>/dev/null || true
    sleep 0.3
    xdotool key --delay 200 "$@"
}

# A path into the file chooser titled title, then Return.
type_path() {  # title path
    keys_to_window "$1" ctrl+l ctrl+a
    xdotool type --delay 30 "$2"
    sleep 0.3
    xdotool key Return
}
