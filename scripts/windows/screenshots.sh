#!/usr/bin/env bash
# Pictures of what Windows users see, taken under Wine: the notice of the demo branch and the options
# dialog, saved as BUILD/notice.png and BUILD/options.png.
# Usage: scripts/windows/screenshots.sh BUILD   (inside the Wine set-up of scripts/windows/wine-env.sh)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$(cd "$1" && pwd)"
dist="$build/dist/ordovant"
# On drive C: of the Wine prefix, so that no folder above it is one Wine shows as writable by everyone
# (a sticky /tmp has no such thing on Windows), which the program refuses for host.ini.
home="$WINEPREFIX/drive_c/screenshot-host"
home_windows='C:\screenshot-host'
# shellcheck source=tools/demo/branch.sh
source "$root/tools/demo/branch.sh"

rm -rf "$home"
demo_host_directory "$home"
printf '%s\n' "$demo_settings" > "$home/einstellungen.ini"
# The demo's stand-in branch program is a shell script; Windows needs a program.
cp "$build/torvelin-standin.exe" "$home/bin/torvelin.exe"
wine "$dist/ordovant-db.exe" create "$home_windows\\filiale.db" "${demo_rows[@]}" >/dev/null

# shot PICTURE [ordovant arguments]: the program's window once it shows, then Esc closes it.
shot() {
    local picture="$1" window="" pid
    shift
    rm -f "$picture"
    ORDOVANT_HOME="$home_windows" wine "$dist/ordovant.exe" "$@" >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 1 300); do
        window="$(xdotool search --onlyvisible --name '.' 2>/dev/null | head -n 1 || true)"
        [ -n "$window" ] && break
        sleep 0.1
    done
    if [ -z "$window" ]; then
        echo "no window for ordovant $* (see $home/ordovant.log)" >&2
        kill "$pid" 2>/dev/null || true
        return 1
    fi
    sleep 1
    wine "$build/ordovant-screenshot.exe" "Z:$picture" >/dev/null 2>&1
    xdotool windowfocus --sync "$window" key Escape 2>/dev/null || true
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    [ -f "$picture" ]
}

shot "$build/notice.png" -KD
shot "$build/options.png" -O
echo "Screenshots: $build/notice.png $build/options.png"
