# shellcheck shell=bash
# The demo branch, sourced by tools/demo/host.sh and tools/demo/server.sh: terminal 07 of branch 42
# with the branch program in use, its rows and its stored choice of what the notice counts.

past() { date -d "-$1 days" +%Y-%m-%d; }
future() { date -d "+$1 days" +%Y-%m-%d; }

# shellcheck source=tools/demo/hostini.sh
source "$(dirname "${BASH_SOURCE[0]}")/hostini.sh"

# host.ini without the database: each script adds where its data lives.
demo_host_ini="$(workstation_host_ini 07 42)"

# ordovant-db create options. Branch 42: open tasks of several types (gv) and origins (herkunft),
# some done, and expired and unexpired reservations; branch 17: others.
# Used by the scripts that source this file; the commas belong to the values of --task and --beleg.
# shellcheck disable=SC2034,SC2054
demo_rows=(
    --task 42,3,11 --task 42,3,11 --task 42,3,1 --task 42,3,2 --task 42,3,11,1
    --task 42,4,11 --task 42,4,7 --task 42,4,7,1
    --task 42,1,1 --task 42,1,2 --task 42,1,11
    --task 42,6,8 --task 42,8,9,1
    --task 17,3,11 --task 17,4,1
    --beleg 42,32,"$(past 12)" --beleg 42,33,"$(past 3)" --beleg 42,32,"$(future 5)"
    --beleg 42,33,"$(future 20)" --beleg 42,32,"$(past 40)",1 --beleg 17,32,"$(past 9)"
)

# The settings store as the options dialog of terminal 07 would have saved it.
# shellcheck disable=SC2034 # used by the scripts that source this file
demo_settings='[ORDOVANT/DM]
GV07=KUNDBEST|RESERV|FILUML
HERKUNFT07=O|K|W|Z'

# A host directory without its database: host.ini's common part and the stand-in branch program.
# Usage: demo_host_directory DIR
demo_host_directory() {
    mkdir -p "$1/bin"
    cp "$(dirname "${BASH_SOURCE[0]}")/torvelin-standin.sh" "$1/bin/torvelin.exe"
    printf '%s\n' "$demo_host_ini" > "$1/host.ini"
}
