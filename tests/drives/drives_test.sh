#!/usr/bin/env bash
# Jobs run as the dialog runs them (korvel_bench_driver) onto drives mounted for the
# test: an exFAT image (exfat-fuse) and an NTFS image (ntfs-3g, which keeps modes with
# its "permissions" option), each on a loop device, and a folder mirrored through
# passthrough.py, once failing a flush and once taking 10 MB a second. Each row gives
# the drive, the output before the job, the job, the output it must leave (a file made
# here with the standard tools) with its mode, and the box the driver must print; after
# every job the output's folder holds the output alone. Needs root and /dev/fuse: a
# drive that cannot be mounted fails each of its rows, as the test command runs as root
# on a machine that mounts them, and a skipped test would count there as passed.
#
#   drives_test.sh KORVEL_BENCH_DRIVER
#
# Ends with "N passed, N failed".
set -uo pipefail
driver=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
passed=0 failed=0
mounts=() daemons=() loops=()
declare -A unmountable # drive -> why it could not be mounted

# Every mount made here goes, whatever ends the test, before the folder that holds the
# images; a mount that stays (even lazily) keeps the folder too.
cleanup() {
    local mount pid loop
    cd /
    for mount in "${mounts[@]}"; do
        umount "$mount" 2>/dev/null || umount -l "$mount" || echo "could not unmount $mount"
    done
    for pid in "${daemons[@]}"; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    for loop in "${loops[@]}"; do losetup -d "$loop" 2>/dev/null; done
    if grep -q " $work/" /proc/mounts; then
        echo "left mounted, so left in place: $work"
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

umask 022 # a new output's mode is 0666 less this
shopt -s dotglob nullglob # a folder's every entry, or none
cd "$work" || exit 1
mkdir in ref logs

# The files the jobs read, and what each job must leave, made with the standard tools.
head -c 25165824 /dev/urandom >in/data # 24 MiB
head -c 1500 /dev/urandom >in/ins      # across three blocks of 512: a swap
head -c 16 /dev/urandom >in/ins16      # inside one block: in place
head -c 5000 /dev/urandom >ref/old     # every existing output before its job
tail -c +17 in/data | head -c 1000 >ref/cut
head -c 20971520 in/data >ref/cut20
cp ref/old ref/inserted && dd if=in/ins of=ref/inserted bs=1 seek=256 conv=notrunc status=none
cp ref/old ref/inserted16 && dd if=in/ins16 of=ref/inserted16 bs=1 seek=32 conv=notrunc status=none
truncate -s 104857600 ref/zeros100
truncate -s 20971520 ref/zeros20

# Waits for a FUSE daemon of ours to show its mount; 1 if it ended first.
await_mount() {
    local mount=$1 pid=$2
    for _ in $(seq 100); do
        mountpoint -q "$mount" && return 0
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

python=
for candidate in /usr/bin/python3 python3; do
    if "$candidate" "$here/passthrough.py" --help >/dev/null 2>&1; then
        python=$candidate
        break
    fi
done

# mount_drive NAME: the drive NAME mounted at NAME/, or its entry in unmountable.
mount_drive() {
    local name=$1 mount=$work/$1 log=$work/logs/$1 loop
    mkdir "$mount"
    if [ "$(id -u)" -ne 0 ]; then
        unmountable[$name]="mounting needs root"
        return
    fi
    if [ ! -c /dev/fuse ]; then
        unmountable[$name]="no /dev/fuse"
        return
    fi
    case $name in
    exfat | ntfs)
        # On a loop device, as a stick is a block device (exfat-fuse takes nothing else).
        local make=(mkfs.exfat) mount_with=(mount.exfat-fuse)
        [ "$name" = ntfs ] && make=(mkntfs -F -Q -q) mount_with=(ntfs-3g -o permissions)
        truncate -s 300M "$name.img" &&
            "${make[@]}" "$name.img" >"$log" 2>&1 &&
            loop=$(losetup --find --show "$name.img" 2>>"$log") &&
            loops+=("$loop") &&
            "${mount_with[@]}" "$loop" "$mount" >>"$log" 2>&1 &&
            mounts+=("$mount")
        ;;
    flaky | slow)
        if [ -z "$python" ]; then
            unmountable[$name]="no Python with fusepy"
            return
        fi
        local options=(--trigger "$work/trigger")
        [ "$name" = slow ] && options=(--rate 10000000)
        mkdir "$name.mirror"
        "$python" "$here/passthrough.py" "$name.mirror" "$mount" "${options[@]}" >"$log" 2>&1 &
        daemons+=($!)
        await_mount "$mount" $! && mounts+=("$mount")
        ;;
    esac
    mountpoint -q "$mount" ||
        unmountable[$name]="mount failed: $(paste -sd ' ' "$log" 2>/dev/null)"
}

for drive in exfat ntfs flaky slow; do
    mount_drive "$drive"
    [ -n "${unmountable[$drive]:-}" ] && echo "cannot mount $drive: ${unmountable[$drive]}"
done

DONE="Done: Operation is successfully finished"
WRITE_FAILED="Error: Write output file error"

# drive (flaky:N: the Nth flush from the job's start fails) | the output before (old: a
# copy of ref/old, mode 640; none) | the job, OUT for the output | the output after (a
# file in ref/, or none) | its mode (- where the drive keeps none) | the box
rows=$(
    cat <<EOF
exfat   | old  | cut in/data OUT 10 1000      | cut        | -   | $DONE
exfat   | none | cut in/data OUT 10 1000      | cut        | -   | $DONE
exfat   | old  | insert in/ins OUT 100        | inserted   | -   | $DONE
exfat   | old  | insert in/ins16 OUT 20       | inserted16 | -   | $DONE
exfat   | old  | create OUT 104857600         | zeros100   | -   | $DONE
ntfs    | old  | cut in/data OUT 10 1000      | cut        | 640 | $DONE
ntfs    | none | cut in/data OUT 10 1000      | cut        | 644 | $DONE
ntfs    | old  | insert in/ins OUT 100        | inserted   | 640 | $DONE
ntfs    | old  | insert in/ins16 OUT 20       | inserted16 | 640 | $DONE
ntfs    | old  | create OUT 104857600         | zeros100   | 640 | $DONE
flaky:1 | old  | cut in/data OUT 0 20971520   | old        | 640 | $WRITE_FAILED
flaky:1 | old  | create OUT 104857600         | old        | 640 | $WRITE_FAILED
flaky:1 | old  | cut in/data OUT 0 1000000    | old        | 640 | $WRITE_FAILED
flaky:1 | none | cut in/data OUT 0 1000000    | none       | -   | $WRITE_FAILED
slow    | old  | create OUT 20971520          | zeros20    | 640 | $DONE
slow    | old  | cut in/data OUT 0 20971520   | cut20      | 640 | $DONE
slow    | none | cut in/data OUT 10 1000      | cut        | 644 | $DONE
EOF
)

trim() { sed -E 's/^ +| +$//g' <<<"$1"; }

number=0
while IFS='|' read -r drive before job after mode box; do
    number=$((number + 1))
    drive=$(trim "$drive") before=$(trim "$before") job=$(trim "$job")
    after=$(trim "$after") mode=$(trim "$mode") box=$(trim "$box")
    fails_at=${drive#*:}
    [ "$fails_at" = "$drive" ] && fails_at=
    drive=${drive%%:*}
    name="$drive${fails_at:+ (flush $fails_at fails)}, output $before: $job"
    if [ -n "${unmountable[$drive]:-}" ]; then
        echo "FAIL $name: $drive not mounted (${unmountable[$drive]})"
        failed=$((failed + 1))
        continue
    fi
    folder=$work/$drive/row$number
    out=$folder/out
    mkdir "$folder"
    if [ "$before" = old ]; then
        cp ref/old "$out" && chmod 640 "$out"
    fi
    [ -n "$fails_at" ] && echo "$fails_at" >"$work/trigger"
    read -ra words <<<"$job"
    words=("${words[@]/#OUT/$out}")
    printed=$("$driver" "${words[@]}" </dev/null 2>&1)

    problems=()
    [ "$printed" = "$box" ] || problems+=("printed '$printed'")
    if [ -e "$work/trigger" ]; then
        problems+=("no flush came")
        rm -f "$work/trigger"
    fi
    if [ "$after" = none ]; then
        [ -e "$out" ] && problems+=("an output of $(stat -c %s "$out") bytes was made")
    elif [ ! -f "$out" ]; then
        problems+=("no output")
    elif ! difference=$(cmp "ref/$after" "$out" 2>&1); then
        problems+=("not ref/$after (${difference//$work\//}; $(stat -c %s "$out") bytes, from$(
            od -A n -t x1 -N 8 "$out" | tr -s ' '))")
    fi
    if [ "$mode" != - ] && [ -f "$out" ] && [ "$(stat -c %a "$out")" != "$mode" ]; then
        problems+=("mode $(stat -c %a "$out"), not $mode")
    fi
    beside=
    for entry in "$folder"/*; do
        [ "${entry##*/}" = out ] || beside+=" ${entry##*/}"
    done
    [ -n "$beside" ] && problems+=("left beside:$beside")

    if [ ${#problems[@]} -eq 0 ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        joined=$(printf '%s; ' "${problems[@]}")
        echo "FAIL $name: ${joined%; }"
    fi
done <<<"$rows"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
