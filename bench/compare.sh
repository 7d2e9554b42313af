#!/usr/bin/env bash
# Times whole processes: korvel_bench_driver doing one job against the standard tool
# doing the same job on the same files, at the largest sizes Korvel takes. Prints per
# operation the median time of each side, their ratio (Korvel / tool) and each side's
# peak memory. Usage: bash bench/compare.sh [RUNS]   (default 7)
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-7}
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/native --target korvel_bench_driver >/dev/null
driver=build/native/bench/korvel_bench_driver

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
max=31457280
create=104857600
head -c "$max" /dev/urandom >"$work/in"
cp "$work/in" "$work/same"
cp "$work/in" "$work/target"
cp "$work/in" "$work/patched"

# Runs a command RUNS times; prints the median wall time in ms and the largest peak
# resident size in KiB.
measure() {
    local times=() memory=0 start end peak
    for ((k = 0; k < runs; k++)); do
        start=$(date +%s%N)
        /usr/bin/time -f %M -o "$work/peak" "$@" >/dev/null 2>&1
        end=$(date +%s%N)
        times+=($(((end - start) / 1000)))
        peak=$(tail -n 1 "$work/peak")
        ((peak > memory)) && memory=$peak
    done
    local median
    median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
    echo "$median $memory"
}

printf '%-14s %12s %12s %7s %14s %14s\n' operation "korvel ms" "tool ms" ratio "korvel KiB" "tool KiB"
row() {
    local name=$1 ours theirs
    shift
    # The two commands are split at "--".
    local mine=() tool=()
    while [ "$1" != -- ]; do
        mine+=("$1")
        shift
    done
    shift
    tool=("$@")
    read -r ours_ms ours_kib < <(measure "${mine[@]}")
    read -r tool_ms tool_kib < <(measure "${tool[@]}")
    printf '%-14s %12.1f %12.1f %7.2f %14d %14d\n' "$name" "$(bc -l <<<"$ours_ms/1000")" \
        "$(bc -l <<<"$tool_ms/1000")" "$(bc -l <<<"$ours_ms/$tool_ms")" "$ours_kib" "$tool_kib"
}

# Everything but the first byte of the input.
row "Cut bytes" "$driver" cut "$work/in" "$work/out" 1 $((max - 1)) -- \
    dd if="$work/in" of="$work/out" bs=1M iflag=skip_bytes,count_bytes skip=1 count=$((max - 1))
row "Insert bytes" "$driver" insert "$work/in" "$work/target" 0 -- \
    dd if="$work/in" of="$work/target" bs=1M oflag=seek_bytes seek=0 conv=notrunc
row "Create file" "$driver" create "$work/zeros" "$create" -- \
    sh -c "head -c $create /dev/zero >'$work/zeros'"
row "Set patch" "$driver" patch "$work/patched" 100 89ABCDEF -- \
    sh -c "printf '\\211\\253\\315\\357' | dd of='$work/patched' bs=1 seek=256 conv=notrunc"
row "Compare files" "$driver" compare "$work/in" "$work/same" -- \
    cmp "$work/in" "$work/same"
