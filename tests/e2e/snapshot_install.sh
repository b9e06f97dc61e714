#!/bin/bash
# `cmake --install` puts the program, the desktop entry for .sna, .z80, .tap
# and .tzx files, their MIME types, the icon and the manual page in place, and
# the desktop's MIME database then knows the file types in any letter case
# and its icon cache the icon.
set -euo pipefail
: "${BRENVIK_BUILD:?}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install "$BRENVIK_BUILD" --prefix "$prefix" >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }
for f in bin/brenvik share/applications/brenvik.desktop share/mime/packages/brenvik.xml share/man/man6/brenvik.6; do
    [ -f "$prefix/$f" ] || fail "$f not installed"
done
[ -x "$prefix/bin/brenvik" ] || fail "the program is not executable"

desktop="$prefix/share/applications/brenvik.desktop"
grep -qx 'Exec=brenvik %f' "$desktop" || fail "the desktop entry does not pass the file to the program"
grep -qx 'Icon=brenvik' "$desktop" || fail "the desktop entry names no icon"
# The icon: its drawing and a PNG of each size, each as large as its folder says.
icons="$prefix/share/icons/hicolor"
[ -f "$icons/scalable/apps/brenvik.svg" ] || fail "the scalable icon is not installed"
for size in 16 22 24 32 48 64 128 256; do
    png="$icons/${size}x${size}/apps/brenvik.png"
    [ -f "$png" ] || fail "the ${size}x${size} icon is not installed"
    [ "$(identify -format '%wx%h' "$png")" = "${size}x${size}" ] || fail "the ${size}x${size} icon has another size"
done
for t in application/x-spectrum-sna application/x-spectrum-z80 application/x-spectrum-tap application/x-spectrum-tzx; do
    grep -q "^MimeType=.*$t;" "$desktop" || fail "the desktop entry does not open $t"
    grep -q "type=\"$t\"" "$prefix/share/mime/packages/brenvik.xml" || fail "$t is not defined"
done
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop"; fi

# The man page renders and names what a user looks for.
if command -v man >/dev/null; then
    text=$(MANWIDTH=100 man -l "$prefix/share/man/man6/brenvik.6" 2>/dev/null | col -b)
    for word in SYNOPSIS F1 F12 Insert "Page Down" .tzx "SYMBOL SHIFT" "CAPS SHIFT" DELETE 48.rom Logfile.txt; do
        grep -q "$word" <<<"$text" || fail "the man page does not mention $word"
    done
fi

# Installed straight into a prefix, the MIME cache there was refreshed: both
# types are known by their globs, in either letter case.
if command -v update-mime-database >/dev/null; then
    globs="$prefix/share/mime/globs2"
    [ -f "$globs" ] || fail "the MIME database was not refreshed"
    grep -q 'application/x-spectrum-sna:\*\.sna' "$globs" || fail ".sna glob missing"
    grep -q 'application/x-spectrum-z80:\*\.z80' "$globs" || fail ".z80 glob missing"
    grep -q 'application/x-spectrum-tap:\*\.tap' "$globs" || fail ".tap glob missing"
    grep -q 'application/x-spectrum-tzx:\*\.tzx' "$globs" || fail ".tzx glob missing"
    ! grep spectrum "$globs" | grep -q ':cs' || fail "the globs must not be case-sensitive"
fi
if command -v gtk-update-icon-cache >/dev/null; then
    [ -f "$icons/icon-theme.cache" ] || fail "the icon cache was not refreshed"
fi
echo "install: ok"
