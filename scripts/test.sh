#!/usr/bin/env bash
# Builds everything and runs every test: the native build, the same tests under the
# address and undefined-behaviour sanitizers, short fuzzing runs, then the 32-bit
# Windows build under Wine.
# Ends with one line: "N passed, N failed".
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/native
# The native tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEL_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all"
cmake --build build/sanitize
# libFuzzer targets, each run for a few seconds from the committed seeds.
CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEL_FUZZ=ON \
    -DKORVEL_BENCH=OFF
cmake --build build/fuzz
cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
cmake --build build/windows

passed=0
failed=0
status=0
counts=$(mktemp) # carries the counts out of the subshells that own a prefix
# Runs one build's tests (ctest's own options may follow) and adds its counts from
# ctest's summary line.
run_tests() {
    local build=$1 log
    shift
    log=$(mktemp)
    echo "== tests: $build $*"
    ctest --test-dir "build/$build" --output-on-failure "$@" 2>&1 | tee "$log" || status=1
    local summary
    summary=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1 || true)
    rm -f "$log"
    if [ -z "$summary" ]; then
        echo "no test summary from the $build build"
        failed=$((failed + 1))
        status=1
        return
    fi
    local bad total
    bad=$(sed -E 's/.*tests passed, ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$summary")
    total=$(sed -E 's/.*failed out of ([0-9]+).*/\1/' <<<"$summary")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
}

run_tests native
# Any report ends the test program with a failure.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    run_tests sanitize
run_tests fuzz

# Runs the Windows build's tests in a Wine prefix of their own, made and removed here,
# and saves a picture of the dialog as that prefix shows it: the picture's path, then
# wine-env.sh's options, then --, then ctest's.
run_in_prefix() {
    local picture=$1 prefix_options=()
    shift
    while [ "$1" != -- ]; do
        prefix_options+=("$1")
        shift
    done
    shift
    (
        # shellcheck source=scripts/wine-env.sh
        source scripts/wine-env.sh "${prefix_options[@]}"
        trap korvel_wine_cleanup EXIT
        run_tests windows "$@"
        echo "$passed $failed $status" >"$counts"
        korvel_wine_screenshot build/windows/ui/korvel.exe Korvel "$picture" ||
            echo "no picture of the dialog could be taken"
    )
    read -r passed failed status <"$counts"
}

# Without the fonts the dialog's template names, Wine substitutes another face and the
# fallback layout shows; with the fonts of fonts-wine the skin fits, as on Windows. On a
# screen of 192 dots per inch the plain layout must still show every caption whole.
run_in_prefix build/dialog-fallback.png -- -E 'dialog_(skin|layout)'
run_in_prefix build/dialog.png --with-fonts -- -R dialog_skin
run_in_prefix build/dialog-fallback-192dpi.png --dpi 192 -- -R dialog_layout
rm -f "$counts"

echo "$passed passed, $failed failed"
exit "$status"
