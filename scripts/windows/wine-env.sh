# shellcheck shell=bash
# The Wine set-up of the Windows build, sourced by scripts/windows.sh and the scripts beside this file.

# wine_environment BUILD SDK: what Wine and the Windows programs of the build need, exported.
wine_environment() {
    local dir
    dir="$(cd "$1" && pwd)"
    export WINEPREFIX="$dir/wineprefix" WINEARCH=win64 WINEDEBUG=-all
    # A test prefix needs neither Mono nor Gecko: without this, creating it asks to install them.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    # Qt's and the mingw runtime's DLLs and Qt's plugins come from the SDK, not from beside each test.
    export WINEPATH="Z:$2/bin" QT_PLUGIN_PATH="Z:$2/plugins"
    # Qt Test and qDebug write to a pipe only when told; the offscreen platform needs a font directory.
    export QT_FORCE_STDERR_LOGGING=1 QT_QPA_FONTDIR="Z:/usr/share/fonts/truetype/liberation"
}

# start_wine BUILD: the prefix (made once per build directory), a virtual display and a wineserver that
# stays up for the whole run instead of starting for each program.
start_wine() {
    if [ ! -f "$WINEPREFIX/.ordovant-ready" ]; then
        rm -rf "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1
        # The forms' fonts, which Windows has and a bare prefix lacks, as their metric twins from
        # fonts-liberation; Wine lists a replacement under the name asked for, as Windows lists the font.
        local replacements='HKCU\Software\Wine\Fonts\Replacements'
        wine reg add "$replacements" /v "Arial" /d "Liberation Sans" /f >/dev/null
        wine reg add "$replacements" /v "MS Sans Serif" /d "Liberation Sans" /f >/dev/null
        # Unmanaged windows on a bare X server: saves about two seconds a program.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
        wineserver -w
        touch "$WINEPREFIX/.ordovant-ready"
    fi
    local display=90
    while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
    Xvfb ":$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    ORDOVANT_XVFB_PID=$!
    export DISPLAY=":$display"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
    wineserver -p
    # Wine's own background processes (services, explorer) start with the first program and keep its
    # output open: start them here, on nothing, so that they never hold a test's pipe and stall CTest.
    wine cmd /c exit </dev/null >/dev/null 2>&1
}

stop_wine() {
    wineserver -k 2>/dev/null || true
    if [ -n "${ORDOVANT_XVFB_PID:-}" ]; then kill "$ORDOVANT_XVFB_PID" 2>/dev/null || true; fi
}
