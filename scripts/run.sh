#!/usr/bin/env bash
# Builds korvel.exe and opens it under Wine: on the user's display when there is one;
# without one, under Xvfb, where it saves a screenshot of the dialog and closes it.
# --fallback leaves out the fonts of fonts-wine, to see the plain layout that shows
# when the skin does not fit.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
cmake --build build/windows --target korvel
program=build/windows/ui/korvel.exe
echo "built $program"

fonts=--with-fonts # the dialog then looks as on Windows: the skin fits
screenshot=build/korvel-dialog.png
if [ "${1:-}" = --fallback ]; then
    fonts=
    screenshot=build/korvel-dialog-fallback.png
fi
had_display=${DISPLAY:-}
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh $fonts
trap korvel_wine_cleanup EXIT

if [ -n "$had_display" ]; then
    "$KORVEL_WINE" "$program"
    exit 0
fi

korvel_wine_screenshot "$program" Korvel "$screenshot"
echo "no display: Korvel ran under Xvfb; its dialog is in $screenshot"
# Nobody can use it there: the clean-up ends it with its prefix.
