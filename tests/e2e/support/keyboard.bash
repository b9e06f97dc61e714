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

# What the edit line holds: the lowest text row of the lower screen, less
# the cursor at its end.
edit_text() {
    local row
    row=$(screen_lines | sed -n '23,24p' | sed 's/ *$//' | grep -v '^$' | tail -1 || true)
    echo "${row%?}"
}

# Types a line key by key, reading the edit line after each: a key the ROM
# missed (the program got little processor time while it was down) is typed
# again, and characters a key repeat added are deleted, so that a loaded
# machine still gets exactly the line.
type_checked() {  # text
    local text=$1 i k w ch now before want
    now=$(edit_text)
    for ((i = 0; i < ${#text}; i++)); do
        want=${text:0:i+1}
        for k in $(seq 10); do
            [ "$now" = "$want" ] && break
            if [ "${#now}" -ge "${#want}" ] || [ "$now" != "${text:0:${#now}}" ]; then
                ch=BackSpace  # too long, or not the start of the line
            else
                ch=${text:${#now}:1}  # the next character the line needs
                [ "$ch" = " " ] && ch=space
            fi
            tap "$ch"
            # A slow machine shows the key late: wait for the line to change.
            before=$now
            for w in $(seq 10); do
                now=$(edit_text)
                [ "$now" != "$before" ] && break
                sleep 0.2
            done
        done
        [ "$(edit_text)" = "$want" ] || fail_showing "the edit line does not read '$want'"
    done
}

# Types a line checked key by key, then Enter, until the screen shows what it
# should (at most three times).
until_shown() {  # text pattern
    local try
    for try in 1 2 3; do
        type_checked "$1"
        tap Return
        wait_for_line "$2" 5 && return 0
    done
    fail_showing "typing '$1' did not lead to the expected screen"
}

# LIST in a freshly started machine: the ROM's report that it ran ("OK")
# appears, and the line matching the pattern is listed.
expect_listed() {  # pattern
    xdotool windowfocus --sync "$WID"
    until_shown "list" 'OK, 0:1'
    wait_for_line "$1" 5 || fail_showing "LIST does not show a line matching '$1'"
}
