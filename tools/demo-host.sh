#!/usr/bin/env bash
# Prepares a demo host directory: terminal 07 of branch 42 with the branch program in use, a stand-in
# branch program, a database with open and done tasks over several types and origins, a few expired and
# unexpired reservations, and a stored choice of what the notice counts.
# Usage: tools/demo-host.sh BUILD_DIR   (creates BUILD_DIR/demo-host when it is missing)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="$1"
home="$build_dir/demo-host"
[ -d "$home" ] && exit 0

mkdir -p "$home.tmp/bin"
cp "$root/tools/demo/torvelin.exe" "$home.tmp/bin/torvelin.exe"

cat > "$home.tmp/host.ini" <<INI
[Terminal]
ID=07
[Startparameter]
TORVELIN=ja
RECHKTRL=nein
[Verzeichnisse]
FERTIG=bin
[Warenabgabe]
17=42
INI

cat > "$home.tmp/einstellungen.ini" <<INI
[ORDOVANT/DM]
GV07=KUNDBEST|RESERV|FILUML
HERKUNFT07=O|K|W|Z
INI

past() { date -d "-$1 days" +%Y-%m-%d; }
future() { date -d "+$1 days" +%Y-%m-%d; }

# Branch 42: open tasks of several types (gv) and origins (herkunft), some done; branch 17: others.
"$build_dir/tools/ordovant-db" create "$home.tmp/filiale.db" \
    --task 42,3,11 --task 42,3,11 --task 42,3,1 --task 42,3,2 --task 42,3,11,1 \
    --task 42,4,11 --task 42,4,7 --task 42,4,7,1 \
    --task 42,1,1 --task 42,1,2 --task 42,1,11 \
    --task 42,6,8 --task 42,8,9,1 \
    --task 17,3,11 --task 17,4,1 \
    --beleg 42,32,"$(past 12)" --beleg 42,33,"$(past 3)" --beleg 42,32,"$(future 5)" \
    --beleg 42,33,"$(future 20)" --beleg 42,32,"$(past 40)",1 --beleg 17,32,"$(past 9)"

mv "$home.tmp" "$home"
