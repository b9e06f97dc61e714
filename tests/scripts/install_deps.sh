#!/bin/bash
# scripts/install-deps.sh runs apt-get itself as root, also where sudo is not
# installed, goes through sudo as any other user, and says what to do when
# neither works. apt-get, sudo and id are fakes here that only record.
set -euo pipefail
: "${BRENVIK_SOURCE:?the top of the repository}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# A PATH holding only the fakes (and, when asked, a fake sudo).
make_path() {  # dir uid with_sudo
    mkdir -p "$1"
    printf '#!/bin/sh\n[ "$1" = -u ] && echo %s\n' "$2" >"$1/id"
    printf '#!/bin/sh\necho "apt-get $*" >>"%s/calls"\n' "$work" >"$1/apt-get"
    if [ "$3" = yes ]; then
        printf '#!/bin/sh\necho "sudo $*" >>"%s/calls"\nexec "$@"\n' "$work" >"$1/sudo"
        ln -s "$(command -v env)" "$1/env"
    fi
    chmod +x "$1"/*
}

run_as() {  # uid with_sudo: runs the script, leaves its status in $status
    rm -f "$work/calls"
    make_path "$work/bin-$1-$2" "$1" "$2"
    status=0
    PATH="$work/bin-$1-$2" /bin/sh "$BRENVIK_SOURCE/scripts/install-deps.sh" >"$work/out" 2>&1 || status=$?
    touch "$work/calls"
}

run_as 0 no
[ "$status" = 0 ] || fail "as root without sudo the script failed: $(cat "$work/out")"
[ "$(grep -c '^apt-get update$' "$work/calls")" = 1 ] || fail "as root apt-get update was not run once"
grep -q '^apt-get install -y --no-install-recommends .*opense-basic' "$work/calls" || fail "as root nothing was installed"
! grep -q '^sudo' "$work/calls" || fail "as root the script used sudo"
echo "ok: as root, with no sudo installed: apt-get update and install, no sudo"

run_as 0 yes
! grep -q '^sudo' "$work/calls" || fail "as root the script used sudo although it need not"
echo "ok: as root, with sudo installed: sudo is not used"

run_as 1000 yes
[ "$status" = 0 ] || fail "as a user with sudo the script failed: $(cat "$work/out")"
grep -q '^sudo env DEBIAN_FRONTEND=noninteractive apt-get update$' "$work/calls" || fail "as a user apt-get did not go through sudo"
[ "$(grep -c '^apt-get' "$work/calls")" = 2 ] || fail "as a user apt-get did not run twice"
echo "ok: as a user: apt-get through sudo"

run_as 1000 no
[ "$status" = 1 ] || fail "as a user without sudo the script ended with $status, not 1"
grep -q "run this as root, or install sudo" "$work/out" || fail "as a user without sudo the script did not say why"
[ ! -s "$work/calls" ] || fail "as a user without sudo apt-get was run anyway"
echo "ok: as a user without sudo: status 1 and what to do"
