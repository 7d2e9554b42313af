#!/usr/bin/env bash
# What the built korvel.exe must hold beyond its code.
#     built_exe.sh OBJDUMP KORVEL_EXE
set -euo pipefail
# File names go through the wide calls only: an ANSI call would read a name in the code
# page and could name another file.
imports=$("$1" -p "$2")
for wide in DragQueryFileW GetOpenFileNameW GetSaveFileNameW; do
    grep -qw "$wide" <<<"$imports" || { echo "korvel.exe does not import $wide"; exit 1; }
done
if grep -wE 'DragQueryFileA|GetOpenFileNameA|GetSaveFileNameA' <<<"$imports"; then
    echo "korvel.exe imports an ANSI file-name call"
    exit 1
fi
echo "korvel.exe takes file names through the wide calls only"

# Its manifest declares it dpi-aware, and lists Vista, 7, 8, 8.1 and 10/11 as supported.
for entry in '<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>' \
    '<supportedOS Id="{e2011457-1546-43c5-a5fe-008deee3d3f0}"/>' \
    '<supportedOS Id="{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"/>' \
    '<supportedOS Id="{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"/>' \
    '<supportedOS Id="{1f676c76-80e1-4239-95bb-83d0f6d0da78}"/>' \
    '<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>'; do
    LC_ALL=C grep -aqF "$entry" "$2" || { echo "korvel.exe's manifest lacks $entry"; exit 1; }
done
echo "korvel.exe's manifest declares dpi awareness and the supported systems"
