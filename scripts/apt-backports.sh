#!/usr/bin/env bash
# Prints an apt source line for the backports suite of the Debian mirror that the
# machine's own sources already use, so that set-up reaches no other host and works
# through whatever mirror or proxy apt is set up with:
#
#     apt-backports.sh CODENAME FILE...
#
# Each FILE is in the one-line format (sources.list) or, when its name ends in
# .sources, in deb822 stanzas. The mirror is the first enabled "deb" entry whose suites
# hold CODENAME itself (not CODENAME-security or -updates); its signed-by key goes
# with it. Exits with 1 when no entry qualifies.
set -euo pipefail
codename=$1
shift
exec awk -v want="$codename" '
function holds(list, word,   n, i, words) {
    n = split(list, words, /[ \t]+/)
    for (i = 1; i <= n; i++) if (words[i] == word) return 1
    return 0
}
function pick(options, uri) {
    if (!found) print "deb " options uri " " want "-backports main"
    found = 1
}
function end_stanza(   uri) {
    if (holds(types, "deb") && holds(suites, want) && tolower(enabled) != "no") {
        split(uris, uri, /[ \t]+/)
        pick(signed ~ /^\// ? "[signed-by=" signed "] " : "", uri[1])
    }
    types = uris = suites = signed = enabled = ""
}
FNR == 1 { end_stanza() }
/^[ \t]*#/ { next }
FILENAME ~ /\.sources$/ {
    if ($0 ~ /^[ \t]*$/) { end_stanza(); next }
    if ($0 ~ /^[ \t]/) next # the rest of a field that spans lines, such as a key
    key = tolower(substr($0, 1, index($0, ":") - 1))
    value = substr($0, index($0, ":") + 1)
    gsub(/^[ \t]+|[ \t]+$/, "", value)
    if (key == "types") types = value
    else if (key == "uris") uris = value
    else if (key == "suites") suites = value
    else if (key == "signed-by") signed = value
    else if (key == "enabled") enabled = value
    next
}
$1 == "deb" {
    line = $0
    sub(/^[ \t]*deb[ \t]+/, "", line)
    options = ""
    if (line ~ /^\[/) {
        options = substr(line, 1, index(line, "]")) " "
        line = substr(line, index(line, "]") + 1)
        sub(/^[ \t]+/, "", line)
    }
    split(line, field, /[ \t]+/)
    if (field[2] == want) pick(options, field[1])
}
END {
    end_stanza()
    exit !found
}
' "$@"
