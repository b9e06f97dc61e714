# The program's GTK dialogs, for the end-to-end tests: waiting for one by its
# title, typing a path into a file chooser. Builds on session.bash.

# wait_window and wait_gone come from session.bash.

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
