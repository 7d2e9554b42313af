#!/usr/bin/env bash
# korvel.exe takes file names through the wide calls only: an ANSI call would read a
# name in the code page and could name another file.
#     wide_imports.sh OBJDUMP KORVEL_EXE
set -euo pipefail
imports=$("$1" -p "$2")
for wide in DragQueryFileW GetOpenFileNameW GetSaveFileNameW; do
    grep -qw "$wide" <<<"$imports" || { echo "korvel.exe does not import $wide"; exit 1; }
done
if grep -wE 'DragQueryFileA|GetOpenFileNameA|GetSaveFileNameA' <<<"$imports"; then
    echo "korvel.exe imports an ANSI file-name call"
    exit 1
fi
echo "korvel.exe takes file names through the wide calls only"
