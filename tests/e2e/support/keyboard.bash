# Typing into the Spectrum and reading its screen back as text, for the
# end-to-end tests. Builds on session.bash (the X server, working directory,
# program and window); sourced after it.

ROM=/usr/share/spectrum-roms/opense.rom

# The start of every typing test: its own X server, a working directory, and
# ALSA's null device as the default (no sound device is needed).
typing_session() {  # the script's arguments
    e2e_own_x_server "$@"
    e2e_workdir
    export HOME="$E2E_DIR/home"
    mkdir -p "$HOME"
    echo 'pcm.!default { type null }' >"$HOME/.asoundrc"
}

# Starts a fresh program (with the options given) in its own working
# directory under $E2E_DIR, focuses its window and waits until the ROM shows
# its copyright line.
start_machine() {  # name [option...]
    mkdir -p "$E2E_DIR/$1"
    cd "$E2E_DIR/$1"
    shift
    start_brenvik "$@"
    xdotool windowfocus --sync "$WID"
    wait_for_line '1981' 20 || fail_showing "the ROM did not start"
}

# Quits with Esc and waits for the program to end.
stop_machine() {
    tap Escape
    expect_exit 0 5
    cd "$E2E_DIR"
}

# The ROM scans the keyboard once a frame, and takes the same key again only
# after it has been up for a few frames: hold each key about 100 ms and leave
# a gap after it.
tap() {
    xdotool keydown "$1"
    sleep 0.1
    xdotool keyup "$1"
    sleep 0.15
}

# The keycode of a key: right-hand modifiers must be sent to xdotool by
# keycode, or it presses the left-hand modifier with them.
keycode() {  # keysym
    /usr/bin/python3 "$E2E_SUPPORT/keycode.py" "$1" || fail "no keycode for $1"
}

# A shift held around another key.
chord() {  # shift key
    xdotool keydown "$1"
    sleep 0.05
    xdotool keydown "$2"
    sleep 0.1
    xdotool keyup "$2"
    sleep 0.05
    xdotool keyup "$1"
    sleep 0.15
}

# Letters, digits and spaces, one key at a time.
type_text() {
    local text=$1 i ch
    for ((i = 0; i < ${#text}; i++)); do
        ch=${text:i:1}
        case "$ch" in
            ' ') tap space ;;
            [a-z0-9]) tap "$ch" ;;
            *) fail "type_text cannot type '$ch'" ;;
        esac
    done
}

# The 24 text rows of the Spectrum screen as it is now.
screen_lines() {
    import -window "$WID" -depth 8 "$E2E_DIR/text.ppm"
    /usr/bin/python3 "$E2E_SUPPORT/screen_text.py" "$ROM" "$E2E_DIR/text.ppm"
}

# Waits (up to $2 seconds, default 5) until some screen row matches the
# extended regular expression $1.
wait_for_line() {  # pattern [seconds]
    local pattern=$1 limit=${2:-5} t text
    for ((t = 0; t < limit * 4; t++)); do
        text=$(screen_lines)
        if grep -Eq -- "$pattern" <<<"$text"; then
            return 0
        fi
        sleep 0.25
    done
    return 1
}

# fail, with the screen's text shown first.
fail_showing() {
    echo "--- screen:" >&2
    screen_lines >&2 || true
    fail "$@"
}

# Any text, one character at a time as xdotool types it on the layout in use
# (with the Shift or AltGr the character needs): each held half the delay
# (ms, default 240) and followed by a gap as long. No two neighbours may be
# the same key at the shorter delays: the ROM takes a key again only after it
# has been up for a few frames.
type_characters() {  # text [delay]
    xdotool type --delay "${2:-240}" -- "$1"
}
