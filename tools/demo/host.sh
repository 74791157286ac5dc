#!/usr/bin/env bash
# Prepares a demo host directory: terminal 07 of branch 42 with the branch program in use, a stand-in
# branch program, a database with open and done tasks over several types and origins, a few expired and
# unexpired reservations, and a stored choice of what the notice counts (see tools/demo/branch.sh).
# Usage: tools/demo/host.sh BUILD_DIR   (creates BUILD_DIR/demo-host when it is missing)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build_dir="$1"
home="$build_dir/demo-host"
[ -d "$home" ] && exit 0
# shellcheck source=tools/demo/branch.sh
source "$root/tools/demo/branch.sh"

rm -rf "$home.tmp"
demo_host_directory "$home.tmp"
printf '%s\n' "$demo_settings" > "$home.tmp/einstellungen.ini"
"$build_dir/tools/ordovant-db" create "$home.tmp/filiale.db" "${demo_rows[@]}"
mv "$home.tmp" "$home"
