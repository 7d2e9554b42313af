#!/usr/bin/env bash
# Table of apt sources, in both formats, and the backports line each must give.
# Ends with "N passed, N failed".
set -uo pipefail
script="$(dirname "$0")/../scripts/apt-backports.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0

# check NAME EXPECTED FILE=CONTENT...: EXPECTED is the line printed, or "none" for
# exit status 1 and no output.
check() {
    local name=$1 expected=$2 files=() entry out status
    shift 2
    rm -rf "${work:?}"/*
    for entry in "$@"; do
        printf '%b' "${entry#*=}" >"$work/${entry%%=*}"
        files+=("$work/${entry%%=*}")
    done
    out=$(bash "$script" bookworm "${files[@]}")
    status=$?
    if { [ "$expected" = none ] && [ "$status" -eq 1 ] && [ -z "$out" ]; } ||
        { [ "$status" -eq 0 ] && [ "$out" = "$expected" ]; }; then
        passed=$((passed + 1))
    else
        echo "FAIL $name: got '$out' (status $status), wanted '$expected'"
        failed=$((failed + 1))
    fi
}

check "one-line, options kept, deb-src and comments skipped" \
    "deb [arch=amd64 signed-by=/k.gpg] http://m.test/debian bookworm-backports main" \
    "a.list=# deb http://old.test/debian bookworm main\ndeb-src http://src.test/debian bookworm main\ndeb  [arch=amd64 signed-by=/k.gpg]  http://m.test/debian bookworm main contrib\n"
check "one-line, security and updates are not the mirror" \
    "deb http://m.test/debian bookworm-backports main" \
    "a.list=deb http://m.test/security bookworm-security main\ndeb http://m.test/debian bookworm-updates main\ndeb http://m.test/debian bookworm main"
check "deb822, the stanza that holds the release" \
    "deb [signed-by=/usr/share/keyrings/d.gpg] http://p.test:3142/debian bookworm-backports main" \
    "d.sources=Types: deb\nURIs: http://p.test:3142/security\nSuites: bookworm-security\n\n# mirror\nTypes: deb deb-src\nURIs: http://p.test:3142/debian http://other.test/debian\nSuites: bookworm bookworm-updates\nComponents: main\nSigned-By: /usr/share/keyrings/d.gpg\n"
check "deb822, a disabled stanza and an inline key" \
    "deb http://on.test/debian bookworm-backports main" \
    "d.sources=Types: deb\nURIs: http://off.test/debian\nSuites: bookworm\nEnabled: no\n\nTypes: deb\nURIs: http://on.test/debian\nSuites: bookworm\nSigned-By:\n -----BEGIN PGP PUBLIC KEY BLOCK-----\n ."
check "a stanza ends with its file" \
    "deb http://second.test/debian bookworm-backports main" \
    "a.sources=Types: deb\nURIs: http://first.test/debian\nSuites: trixie" \
    "b.list=deb http://second.test/debian bookworm main"
check "no entry for the release" none \
    "a.list=deb http://m.test/debian trixie main\ndeb http://m.test/security bookworm-security main" \
    "b.sources=Types: deb-src\nURIs: http://m.test/debian\nSuites: bookworm"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
