#!/usr/bin/env bash
# Installs the build and test tools (as root, Debian bookworm) and prepares the
# machine to run 32-bit Windows programs under Wine. Safe to run again: it only
# does what is missing.
#
# Where the kernel runs i386 programs itself, that is all. Where it has no ia32
# emulation, every i386 ELF (the 32-bit Wine loader) must run under qemu-user, from
# backports: bookworm's qemu 7.2 places the guest's shared libraries just below
# 0x40000000 and ignores MAP_FIXED_NOREPLACE, so 32-bit Wine spends 1-2 minutes per
# process splitting its address-space reservation into ~50,000 mmap calls. qemu 10
# does not. Backports come from the mirror the machine's own apt sources name.
set -euo pipefail

if [ "$(id -u)" -ne 0 ]; then
    echo "setup.sh: must run as root" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
here=$(dirname "$0")

packages=(
    cmake g++ ninja-build
    g++-mingw-w64-i686-posix
    wine wine32:i386 wine64 fonts-wine
    xvfb xauth x11-utils xdotool imagemagick python3
    googletest libgtest-dev libbenchmark-dev
    clang libclang-rt-14-dev
    fuse3 python3-fusepy exfatprogs exfat-fuse ntfs-3g acl
)
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
backports_list=/etc/apt/sources.list.d/$codename-backports.list
qemu=/usr/bin/qemu-i386
qemu_min=1:9.1

# 0 when Debian package $1 is installed.
installed() {
    [ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null || true)" = installed ]
}

qemu_recent() {
    local v
    v=$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null || true)
    [ -n "$v" ] && installed qemu-user && dpkg --compare-versions "$v" ge "$qemu_min"
}

# Whether this CPU/kernel runs i386 code without help; probed only when no
# binfmt entry hides the answer.
native_i386() {
    [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    need_update=1
fi

missing=()
for p in "${packages[@]}"; do
    installed "$p" || missing+=("$p")
done

# apt-get update, tried again while an index fails to download (a mirror caught mid-sync
# serves a list that does not match its release file); then apt goes on with the lists it
# has, as a list that stays missing need not stop the install.
apt_update() {
    local try
    for try in 1 2 3 4; do
        apt-get update -q && return 0
        if [ "$try" -lt 4 ]; then
            echo "setup.sh: an index failed to download; trying again in $((try * 10)) s"
            sleep $((try * 10))
        fi
    done
    echo "setup.sh: going on with the package lists apt has" >&2
}

# The suites with a list for this machine's own architecture but none for i386: a list
# that failed to download. A library must have one version on both architectures, so a
# newer one there for amd64 alone would keep its i386 twin from installing.
suites_without_i386() {
    local own
    own=$(dpkg --print-architecture)
    apt-get indextargets --format '$(CODENAME) $(ARCHITECTURE)' 'Identifier: Packages' |
        sort -u | awk -v own="$own" '
            $2 == own { with_own[$1] = 1 }
            $2 == "i386" { with_i386[$1] = 1 }
            END { for (s in with_own) if (!(s in with_i386)) print s }'
}

# apt-get install; where it fails and a suite lacks its i386 list, once more with that
# suite's priority below the others' and below what is installed, for this one install
# only: each library then comes in the same version for both architectures, from the
# suites whose lists apt has.
apt_install() {
    apt-get install -y -q --no-install-recommends "$@" && return 0
    local suites preferences status=0
    suites=$(suites_without_i386)
    [ -n "$suites" ] || return 1
    preferences=$(mktemp)
    for s in $suites; do
        printf 'Package: *\nPin: release n=%s\nPin-Priority: 50\n\n' "$s"
    done >"$preferences"
    # The machine's own preferences still count, after these.
    if [ -f /etc/apt/preferences ]; then cat /etc/apt/preferences >>"$preferences"; fi
    echo "setup.sh: no i386 list for" $suites"; installing from the other suites"
    apt-get install -y -q --no-install-recommends -o Dir::Etc::Preferences="$preferences" \
        "$@" || status=$?
    rm -f "$preferences"
    return "$status"
}

if [ "$need_update" -eq 1 ] || [ "${#missing[@]}" -gt 0 ]; then
    apt_update
fi
if [ "${#missing[@]}" -gt 0 ]; then
    echo "setup.sh: installing ${missing[*]}"
    apt_install "${missing[@]}"
fi

# The sources apt itself reads.
apt_sources() {
    local f
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
        /etc/apt/sources.list.d/*.sources; do
        if [ -f "$f" ]; then echo "$f"; fi
    done
}

# Installs a recent qemu-user from the backports suite of the machine's own mirror.
install_qemu() {
    local sources
    mapfile -t sources < <(apt_sources)
    # /dev/null: with no sources at all, neither command waits on standard input.
    if ! grep -qsE "^[^#]*$codename-backports" /dev/null "${sources[@]}"; then
        if ! bash "$here/apt-backports.sh" "$codename" /dev/null "${sources[@]}" >"$backports_list.new"; then
            rm -f "$backports_list.new"
            echo "setup.sh: no Debian $codename mirror in the apt sources to take backports from" >&2
            exit 1
        fi
        mv "$backports_list.new" "$backports_list"
        echo "setup.sh: added $(cat "$backports_list")"
    fi
    apt_update
    # Without recommends: qemu-user-binfmt would register every architecture
    # through binfmt-support; only i386 is wanted, registered below.
    apt-get install -y -q --no-install-recommends -t "$codename-backports" qemu-user
}

# --- binfmt_misc: send i386 ELF files to qemu, unless they run natively ---
binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt"
fi

# Any entry (whatever its name) whose magic is the i386 ELF header.
i386_entries() {
    local f
    for f in "$binfmt"/*; do
        case "$(basename "$f")" in register | status) continue ;; esac
        if grep -q '^magic 7f454c4601010100000000000000000002000300' "$f" 2>/dev/null; then
            echo "$f"
        fi
    done
}

ok=0
stale=()
while IFS= read -r e; do
    [ -n "$e" ] || continue
    if qemu_recent && grep -qx enabled "$e" && grep -qx "interpreter $qemu" "$e" &&
        grep -q '^flags:.*F' "$e"; then
        ok=1
    else
        stale+=("$e")
    fi
done < <(i386_entries)

if [ "$ok" -eq 0 ]; then
    # An older entry (such as one for bookworm's qemu-i386-static) would win
    # the match; it goes first.
    for e in "${stale[@]}"; do
        echo "setup.sh: removing binfmt entry $(basename "$e")"
        echo -1 >"$e"
    done
    if native_i386; then
        echo "setup.sh: i386 programs run natively; no qemu needed"
    else
        qemu_recent || install_qemu
        # F: the kernel opens qemu now, so it also works inside chroots and
        # mount namespaces. The name is ours so it never clashes with
        # binfmt-support's "qemu-i386". The \x escapes are for the kernel
        # to decode, so they must reach it as text.
        # shellcheck disable=SC2028
        echo ':korvel-qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' \
            >"$binfmt/register"
        echo "setup.sh: registered i386 binfmt entry for $qemu"
    fi
fi

# Proof that the chosen route works, cheap enough to run every time.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "setup.sh: the 32-bit Wine loader does not start" >&2
    exit 1
fi
