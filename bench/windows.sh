#!/usr/bin/env bash
# The Windows twin of bench/run.sh's first row: the no-work start of ordovant.exe beside a bare QApplication
# program built with the same Windows SDK, both under Wine in the same run (goal: at most 1.15, as on
# Linux). Uses the build of scripts/windows.sh (run it first).
# Usage: bench/windows.sh     RUNS=11 bench/windows.sh
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-windows"
runs="${RUNS:-9}"
[ -f "$build/bare_app.exe" ] || { echo "bench/windows.sh: run scripts/windows.sh first" >&2; exit 1; }

# shellcheck source=scripts/windows/wine-env.sh
source "$root/scripts/windows/wine-env.sh"
wine_environment "$build" "$("$root/scripts/windows-sdk.sh" | tail -1)"
start_wine "$build"
trap stop_wine EXIT

# The process runner is plain C++ and runs on the Linux side, around wine.
g++ -O2 -std=c++20 -o "$build/bench_process" "$root/bench/bench_process.cpp" "$root/bench/benchtable.cpp"

# An empty branch database and a host.ini: the program finds nothing to do and ends without a window.
home="$build/bench-home-nowork"
rm -rf "$home"
mkdir -p "$home"
printf '[Terminal]\r\nID=01\r\n[Startparameter]\r\nTORVELIN=ja\r\n[Warenabgabe]\r\n17=1\r\n' > "$home/host.ini"
wine "$build/ordovant-db.exe" create "Z:$home/filiale.db" >/dev/null

"$build/bench_process" --header
ORDOVANT_HOME="Z:$home" "$build/bench_process" --runs "$((3 * runs))" --name "No work, Windows under Wine" \
    --wall-goal 1.15 -- wine "$build/ordovant.exe" ::: wine "$build/bare_app.exe"
[ ! -e "$home/ordovant.log" ] || { echo "the no-work start reported:"; cat "$home/ordovant.log"; exit 1; }
