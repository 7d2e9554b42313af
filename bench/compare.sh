#!/usr/bin/env bash
# Times whole processes: korvel_bench_driver doing one job against the standard tool
# doing the same job on the same files, at the largest sizes Korvel takes, then two small
# jobs. Prints per operation the median time of each side, their ratio (Korvel / tool)
# and each side's peak memory. Usage: bash bench/compare.sh [RUNS]   (default 7)
# The files go to a fresh folder inside KORVEL_BENCH_DIR (default build/, on the disk the
# repository is on): on a RAM disk (tmpfs) a flush costs nothing.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-7}
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/native --target korvel_bench_driver >/dev/null
driver=$PWD/build/native/bench/korvel_bench_driver

work=$(realpath "$(mktemp -d "${KORVEL_BENCH_DIR:-build}/compare.XXXXXX")")
trap 'rm -rf "$work"' EXIT
echo "files in $work, on $(df --output=fstype "$work" | tail -n 1)"
# Everything runs in the folder, so that the commands below name the files alone.
cd "$work"
max=31457280
create=104857600
head -c "$max" /dev/urandom >in
printf '\0' | dd of=in conv=notrunc status=none
cp in same
cp in first # differs in its first byte only
printf '\1' | dd of=first conv=notrunc status=none
cp in target
# Outputs that are there before the first turn, as before every later one.
cp in out
head -c "$create" /dev/zero >zeros
cp in patched
head -c 16 in >sixteen

# Runs a command once; prints its wall time in µs and its peak resident size in KiB.
run_once() {
    local start end
    start=$(date +%s%N)
    # cmp's status 1 (files differ) is an outcome, not a failure.
    /usr/bin/time -f %M -o peak "$@" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    echo "$(((end - start) / 1000)) $(tail -n 1 peak)"
}

median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }

printf '%-28s %12s %12s %7s %14s %14s\n' operation "korvel ms" "tool ms" ratio "korvel KiB" "tool KiB"
row() {
    local name=$1 k time peak
    shift
    # The two commands are split at "--".
    local mine=() tool=()
    while [ "$1" != -- ]; do
        mine+=("$1")
        shift
    done
    shift
    tool=("$@")
    # They take turns, so that both see the same load on the machine.
    local ours=() theirs=() ours_kib=0 tool_kib=0
    for ((k = 0; k < runs; k++)); do
        read -r time peak < <(run_once "${mine[@]}")
        ours+=("$time")
        ((peak > ours_kib)) && ours_kib=$peak
        read -r time peak < <(run_once "${tool[@]}")
        theirs+=("$time")
        ((peak > tool_kib)) && tool_kib=$peak
    done
    local ours_ms tool_ms
    ours_ms=$(median "${ours[@]}")
    tool_ms=$(median "${theirs[@]}")
    printf '%-28s %12.1f %12.1f %7.2f %14d %14d\n' "$name" "$(bc -l <<<"$ours_ms/1000")" \
        "$(bc -l <<<"$tool_ms/1000")" "$(bc -l <<<"$ours_ms/$tool_ms")" "$ours_kib" "$tool_kib"
}

# The jobs, less the output, shared by the rows with and without the guarantee below.
cut_all=(if=in bs=1M iflag=skip_bytes,count_bytes skip=1 count=$((max - 1))) # all but byte 0
insert_at_0=(if=in bs=1M oflag=seek_bytes seek=0)
patch_at_100="printf '\\211\\253\\315\\357' | dd bs=1 seek=256"

# The rows ", replaced whole" give the tool the guarantee that an output is replaced whole
# or not at all: the new content goes to a new file beside the output, is flushed to disk,
# and is renamed over the output, which is there before every turn, in one step.
row "Cut bytes" "$driver" cut in out 1 $((max - 1)) -- dd "${cut_all[@]}" of=out
row "Cut bytes, replaced whole" "$driver" cut in out 1 $((max - 1)) -- \
    sh -c "dd ${cut_all[*]} of=new conv=fsync && mv new out"
row "Insert bytes" "$driver" insert in target 0 -- \
    dd "${insert_at_0[@]}" of=target conv=notrunc
# Insert keeps the bytes it overwrites, to put them back should a write fail; the tool
# with that guarantee is a copy of the output's range made first.
row "Insert bytes, with a backup" "$driver" insert in target 0 -- \
    sh -c "dd if=target of=backup bs=1M iflag=count_bytes count=$max &&
        dd ${insert_at_0[*]} of=target conv=notrunc"
row "Insert bytes, replaced whole" "$driver" insert in target 0 -- \
    sh -c "cp target new && dd ${insert_at_0[*]} of=new conv=notrunc,fsync && mv new target"
row "Create file" "$driver" create zeros "$create" -- \
    sh -c "head -c $create /dev/zero >zeros"
# Korvel gives the new file its length, whose zeros the file system keeps unwritten, as
# fallocate does; the row against head -c shows what writing every zero cost.
row "Create file, replaced whole" "$driver" create zeros "$create" -- \
    sh -c "fallocate -l $create new && sync new && mv new zeros"
row "Create, whole, vs head -c" "$driver" create zeros "$create" -- \
    sh -c "head -c $create /dev/zero >new && sync new && mv new zeros"
# A patch stays in place; with the guarantee it is on the disk before it is reported.
row "Set patch" "$driver" patch patched 100 89ABCDEF -- \
    sh -c "$patch_at_100 of=patched conv=notrunc"
row "Set patch, flushed" "$driver" patch patched 100 89ABCDEF -- \
    sh -c "$patch_at_100 of=patched conv=notrunc,fsync"
row "Compare files" "$driver" compare in same -- cmp in same

# The small cases: Korvel reads only the cut's 16 bytes, as dd does, and stops at the
# first piece that differs, as cmp stops at the first difference.
row "Cut 16 bytes" "$driver" cut in out 100 16 -- \
    dd if=in of=out bs=16 iflag=skip_bytes skip=256 count=1
row "Compare, byte 0" "$driver" compare in first -- cmp in first
# An input inside one 512-byte block of the output is one write in place, flushed, as whole
# as a swap; the tool gets the same flush.
row "Insert 16 bytes into 30 MiB" "$driver" insert sixteen target 100 -- \
    dd if=sixteen of=target bs=16 seek=16 conv=notrunc,fsync
