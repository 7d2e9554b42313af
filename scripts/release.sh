#!/usr/bin/env bash
# Builds korvel.exe from a clean build folder and packs a release in build/release/:
# korvel-<version>-win32.zip (korvel.exe and README.txt), korvel.exe beside it, and
# SHA256SUMS for both. The same commit gives the same bytes on any machine: times come
# from the last commit, not from the clock.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    if ! SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null); then
        echo "release.sh: not a git checkout; set SOURCE_DATE_EPOCH to the sources' time" >&2
        exit 1
    fi
fi
export SOURCE_DATE_EPOCH

build=build/release-build
out=build/release
rm -rf "$build" "$out"
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
cmake --build "$build" --target korvel
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

mkdir -p "$out"
cp "$build/ui/korvel.exe" "$out/korvel.exe"
sed "s/@VERSION@/$version/" docs/README.txt >"$build/README.txt"
zip="korvel-$version-win32.zip"
python3 scripts/release_zip.py "$out/$zip" "$out/korvel.exe" "$build/README.txt"
(
    cd "$out"
    sha256sum "$zip" korvel.exe >SHA256SUMS
    sha256sum -c SHA256SUMS
)
echo "release: $out/$zip"
