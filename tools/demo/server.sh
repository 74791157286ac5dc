#!/usr/bin/env bash
# Runs ordovant on the demo branch of run.sh with its data and settings on a throw-away PostgreSQL
# server: the shipped schema, the demo rows, the role ordovant with the cluster's password, a host
# directory in build/demo-server-host/ whose host.ini names the server, and the demo's stored choice
# copied from an INI store into the table einstellung. The server ends with the script.
# Arguments are passed on: tools/demo/server.sh -O (options), tools/demo/server.sh -A ...
# Without a display the program runs under xvfb-run and a screenshot goes to build/demo.png.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build_dir="$root/build"

if [ -z "${ORDOVANT_DEMO_SERVER:-}" ]; then
    "$root/scripts/setup.sh" "$build_dir"
    # -t keeps the cluster in a temporary directory even for root, apart from any other one.
    ORDOVANT_DEMO_SERVER=1 exec pg_virtualenv -t "${BASH_SOURCE[0]}" "$@"
fi

# Inside pg_virtualenv: PGHOST, PGPORT, PGUSER (a superuser) and PGPASSWORD name the new cluster.
# shellcheck source=tools/demo/branch.sh
source "$root/tools/demo/branch.sh"
database=filiale
home="$build_dir/demo-server-host"
tool="$build_dir/tools/ordovant-db"

psql -q -v ON_ERROR_STOP=1 -d postgres -c "CREATE DATABASE $database"
psql -q -v ON_ERROR_STOP=1 -d "$database" -f "$root/schema/postgresql.sql"
psql -q -v ON_ERROR_STOP=1 -d "$database" -v pw="$PGPASSWORD" <<<"ALTER ROLE ordovant PASSWORD :'pw'"
# The branch software writes the rows, not the program's role.
"$tool" create --driver QPSQL --name "$database" "${demo_rows[@]}"

# The server's port can differ from run to run: the host directory is made afresh.
rm -rf "$home"
demo_host_directory "$home"
cat >> "$home/host.ini" <<INI
[Datenbank]
Treiber=QPSQL
Host=$PGHOST
Port=$PGPORT
Name=$database
Benutzer=ordovant
[Einstellungen]
Speicher=Datenbank
INI

# The move of a branch from its settings file to the server, as the program's role; libpq takes the
# password from PGPASSWORD.
store="$(mktemp --suffix=.ini)"
trap 'rm -f "$store"' EXIT
printf '%s\n' "$demo_settings" > "$store"
"$tool" copy-settings "$store" --host-ini "$home/host.ini"

export ORDOVANT_HOME="$home"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    "$build_dir/app/ordovant" "$@"
else
    xvfb-run -a -s "-screen 0 1280x800x24" "$root/tools/demo/headless.sh" "$build_dir" "$@"
fi
