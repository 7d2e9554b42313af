#!/usr/bin/env bash
# Source this file to get a throw-away 32-bit Wine prefix for running the Windows
# build, headless:
#
#     source scripts/wine-env.sh [--with-fonts] [--dpi N]
#     trap korvel_wine_cleanup EXIT
#
# It exports WINEPREFIX and KORVEL_WINEPREFIX (so child scripts such as wine-run
# reuse the prefix instead of making their own), KORVEL_WINE (the loader to run
# programs with), DISPLAY (an Xvfb of its own when none was set) and
# KORVEL_SECOND_DRIVE (a second drive letter for C:).
# --defaults-only sets the variables for a prefix the caller already has.
# --with-fonts (or KORVEL_WINE_FONTS=1) copies the fonts of Debian's fonts-wine
# package into C:\windows\Fonts, bitmap fonts included; without them Wine
# substitutes another face for "MS Sans Serif", with other metrics. Without it only
# marlett.ttf, the caption buttons' symbol font, goes there.
# --dpi N gives the prefix a screen of N dots per inch (LogPixels) instead of 96.
#
# The wineserver is kept alive (-p) for the prefix's whole life: its services
# then start once, and every later program starts in well under a second even
# though all 32-bit code runs under qemu.
#
# Shell options are set inside each function ("local -"), so sourcing this file
# leaves the caller's own options as they were.

# Exported for every Wine process: no debug output, and no .NET or Gecko
# installers, which would otherwise be offered when the prefix is made.
korvel_wine_defaults() {
    local -
    set -euo pipefail
    export WINEDEBUG="${WINEDEBUG:--all}"
    export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
    export WINEARCH=win32
    # Debian ships no wine-preloader, so the loader's usual re-exec of itself
    # buys nothing and costs one more qemu start per process.
    export WINELOADERNOEXEC=1
    # The 64-bit server runs natively; the 32-bit one would run under qemu.
    # Both speak the same protocol to 32-bit clients.
    if [ -z "${WINESERVER:-}" ]; then
        if [ -x /usr/lib/wine/wineserver64 ]; then
            export WINESERVER=/usr/lib/wine/wineserver64
        elif [ -x /usr/lib/wine/wineserver32 ]; then
            export WINESERVER=/usr/lib/wine/wineserver32
        else
            export WINESERVER=wineserver
        fi
    fi
    if [ -z "${KORVEL_WINE:-}" ]; then
        if [ -x /usr/lib/wine/wine ]; then
            export KORVEL_WINE=/usr/lib/wine/wine
        else
            export KORVEL_WINE=wine
        fi
    fi
}

# Starts Xvfb on a display that is free (Xvfb picks it itself) and exports
# DISPLAY once the server accepts connections.
korvel_wine_start_xvfb() {
    local -
    set -euo pipefail
    local dfile="$_korvel_wine_tmp/display" i
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
        3>"$dfile" >"$_korvel_wine_tmp/xvfb.log" 2>&1 &
    _korvel_wine_xvfb_pid=$!
    for ((i = 0; i < 200; i++)); do
        if [ -s "$dfile" ]; then
            DISPLAY=":$(head -n 1 "$dfile")"
            export DISPLAY
            return 0
        fi
        if ! kill -0 "$_korvel_wine_xvfb_pid" 2>/dev/null; then
            break
        fi
        sleep 0.05
    done
    echo "wine-env.sh: Xvfb did not start:" >&2
    cat "$_korvel_wine_tmp/xvfb.log" >&2 || true
    return 1
}

# Stops what korvel_wine_init started and removes the prefix. Only the shell
# that made the prefix tears it down; in others it does nothing.
korvel_wine_cleanup() {
    local -
    set -uo pipefail
    if [ "${_korvel_wine_owned:-0}" != 1 ]; then
        return 0
    fi
    _korvel_wine_owned=0
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
        WINEPREFIX="$WINEPREFIX" "${WINESERVER:-wineserver}" -k >/dev/null 2>&1 || true
    fi
    if [ -n "${_korvel_wine_xvfb_pid:-}" ]; then
        kill "$_korvel_wine_xvfb_pid" 2>/dev/null || true
        wait "$_korvel_wine_xvfb_pid" 2>/dev/null || true
        _korvel_wine_xvfb_pid=
        unset DISPLAY
    fi
    if [ -n "${_korvel_wine_tmp:-}" ]; then
        rm -rf "$_korvel_wine_tmp"
        _korvel_wine_tmp=
    fi
    unset WINEPREFIX KORVEL_WINEPREFIX KORVEL_SECOND_DRIVE
}

korvel_wine_init() {
    # Keeps these options from leaking into the shell that sources this file.
    local -
    set -euo pipefail
    local fonts="${KORVEL_WINE_FONTS:-0}" defaults_only=0 dpi=96 arg
    while [ $# -gt 0 ]; do
        arg=$1
        shift
        case "$arg" in
            --with-fonts) fonts=1 ;;
            --defaults-only) defaults_only=1 ;;
            --dpi)
                dpi=${1:-}
                shift || true
                if ! [[ "$dpi" =~ ^[1-9][0-9]*$ ]]; then
                    echo "wine-env.sh: --dpi needs a number" >&2
                    return 1
                fi
                ;;
            # "source" without arguments passes on the caller's own, which
            # are none of ours.
            *) ;;
        esac
    done

    korvel_wine_defaults
    if [ "$defaults_only" = 1 ]; then
        return 0
    fi

    if [ -n "${KORVEL_WINEPREFIX:-}" ]; then
        if [ ! -d "$KORVEL_WINEPREFIX" ]; then
            echo "wine-env.sh: KORVEL_WINEPREFIX=$KORVEL_WINEPREFIX does not exist" >&2
            return 1
        fi
        export WINEPREFIX="$KORVEL_WINEPREFIX"
        return 0
    fi

    _korvel_wine_tmp=$(mktemp -d "${TMPDIR:-/tmp}/korvel-wine.XXXXXX")
    _korvel_wine_owned=1
    export WINEPREFIX="$_korvel_wine_tmp/prefix"
    export KORVEL_WINEPREFIX="$WINEPREFIX"

    if [ -z "${DISPLAY:-}" ]; then
        korvel_wine_start_xvfb || { korvel_wine_cleanup; return 1; }
    fi

    local log="$_korvel_wine_tmp/wineboot.log"
    # The server needs the folder to exist; Wine fills an empty one as a new
    # prefix.
    mkdir -p "$WINEPREFIX"
    # Managed=N: without a window manager, a managed window makes Wine wait
    # about 2 s when it closes. AeDebug names a debugger that does not exist,
    # so a crashing program ends at once instead of waiting on winedbg (Wine
    # falls back to winedbg when the value is missing).
    local reg="$_korvel_wine_tmp/settings.reg"
    # LogPixels: the screen's dots per inch, read by each program as it starts.
    cat >"$reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Control Panel\Desktop]
"LogPixels"=dword:$(printf %08x "$dpi")

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]
"Debugger"="korvel-no-debugger.exe %ld %ld"
REG
    if ! "$WINESERVER" -p >>"$log" 2>&1 ||
        ! "$KORVEL_WINE" wineboot -i >>"$log" 2>&1 ||
        ! "$KORVEL_WINE" regedit /s "Z:${reg//\//\\}" >>"$log" 2>&1; then
        echo "wine-env.sh: making the Wine prefix failed:" >&2
        cat "$log" >&2 || true
        korvel_wine_cleanup
        return 1
    fi
    # Wine closes the desktop, and so its explorer.exe, a moment after the
    # last ordinary process has gone; starting it again under qemu costs the
    # next GUI program 4-11 s. An idle cmd.exe reading a FIFO that never
    # ends (opened read-write, so it never sees end-of-file) keeps it open.
    mkfifo "$_korvel_wine_tmp/hold"
    "$KORVEL_WINE" cmd.exe /q /k <>"$_korvel_wine_tmp/hold" >/dev/null 2>&1 &

    # The registry files appear only when the server saves them; the DLL
    # stubs show that wineboot really filled the prefix.
    if [ ! -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ]; then
        echo "wine-env.sh: wineboot left $WINEPREFIX without system32" >&2
        korvel_wine_cleanup
        return 1
    fi

    # A second drive letter for drive C:, as a substituted or mapped drive gives one
    # file two names: the tests reach files through both.
    ln -sfn ../drive_c "$WINEPREFIX/dosdevices/y:"
    export KORVEL_SECOND_DRIVE=Y

    local src=/usr/share/wine/fonts
    if [ ! -f "$src/marlett.ttf" ] || ! compgen -G "$src/*.fon" >/dev/null; then
        echo "wine-env.sh: no fonts in $src (package fonts-wine)" >&2
        korvel_wine_cleanup
        return 1
    fi
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
    if [ "$fonts" = 1 ]; then
        # All of them: the bitmap "MS Sans Serif" (sserife.fon) is the one that gives
        # the dialog's font the metrics the skin was drawn for.
        cp "$src"/* "$WINEPREFIX/drive_c/windows/Fonts/"
    else
        # Only the symbol font Wine draws the caption buttons with, so that they look
        # as on Windows while the dialog's own font is still missing.
        cp "$src/marlett.ttf" "$WINEPREFIX/drive_c/windows/Fonts/"
    fi
}

# Starts a GUI program in the prefix and saves a picture of its window titled $2 to $3
# once it shows. The program keeps running: korvel_wine_cleanup ends it with the prefix.
korvel_wine_screenshot() {
    local -
    set -euo pipefail
    local program=$1 title=$2 picture=$3 window
    "$KORVEL_WINE" "$program" &
    window=$(timeout 120 xdotool search --sync --onlyvisible --name "^$title\$" | head -n 1)
    sleep 1 # let it finish painting
    mkdir -p "$(dirname "$picture")"
    import -window "$window" "$picture"
}

korvel_wine_init "$@"
