#!/usr/bin/env bash
# Builds korvel.exe again from a copy of the sources in another folder, with another
# build folder, and compares it byte for byte with the one given: anyone who rebuilds
# a release from its sources must get the same program.
#     reproducible_build.sh SOURCE_DIR KORVEL_EXE CMAKE_GENERATOR
set -euo pipefail
source_dir=$1 exe=$2 generator=$3

work=$(mktemp -d "${TMPDIR:-/tmp}/korvel-rebuild.XXXXXX")
trap 'rm -rf "$work"' EXIT
copy="$work/elsewhere/korvel-source"
mkdir -p "$copy"
tar -C "$source_dir" --exclude=./build --exclude=./.git -cf - . | tar -C "$copy" -xf -

cmake -S "$copy" -B "$work/other-build" -G "$generator" \
    -DCMAKE_TOOLCHAIN_FILE="$copy/cmake/mingw-i686.cmake" -DBUILD_TESTING=OFF >/dev/null
cmake --build "$work/other-build" --target korvel -j2 >/dev/null
if cmp "$exe" "$work/other-build/ui/korvel.exe"; then
    echo "korvel.exe is the same when built in another folder"
else
    echo "korvel.exe differs when built in another folder"
    exit 1
fi
