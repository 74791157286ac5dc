#!/usr/bin/env bash
# Runs a command beside a throw-away MariaDB server and the ODBC data sources of the server tests:
#   pg_virtualenv -t tests/support/with-postgresql.sh tests/support/with-mariadb.sh ctest ...
# The server lives in a temporary directory, listens on a socket there only, runs as an unprivileged
# user (nobody when started as root) and is removed with everything else when the command ends.
# odbcinst.ini and odbc.ini are written into the same directory (ODBCSYSINI, ODBCINI) with data
# sources for the PostgreSQL cluster of with-postgresql.sh (psqlODBC) and for MariaDB (the program's
# role, and MariaDB's administrator); the passwords live there, as an administrator would keep them.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

for tool in mariadbd mariadb-install-db mariadb odbcinst; do
    if ! command -v "$tool" >/dev/null && [ ! -x "/usr/sbin/$tool" ]; then
        echo "with-mariadb.sh: $tool is missing (scripts/setup.sh installs it)" >&2
        exit 1
    fi
done
PATH="$PATH:/usr/sbin"

dir="$(mktemp -d /tmp/ordovant-mariadb.XXXXXX)"
server_pid=""
cleanup() {
    if [ -n "$server_pid" ] && kill -0 "$server_pid" 2>/dev/null; then
        kill "$server_pid" 2>/dev/null || true
        for _ in $(seq 100); do kill -0 "$server_pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$server_pid" 2>/dev/null || true
    fi
    rm -rf "$dir"
}
trap cleanup EXIT

run_as=()
if [ "$(id -u)" -eq 0 ]; then
    # mariadbd refuses to run as root; the data belongs to an unprivileged user.
    run_as=(--user=nobody)
    chmod 755 "$dir"
fi
data="$dir/data"
socket="$dir/mariadb.sock"
mkdir "$data"
[ "$(id -u)" -ne 0 ] || chown nobody "$data" "$dir"

mariadb-install-db --no-defaults --datadir="$data" "${run_as[@]}" --auth-root-authentication-method=normal \
    --skip-test-db >"$dir/install.log" 2>&1 || { cat "$dir/install.log" >&2; exit 1; }
mariadbd --no-defaults --datadir="$data" --socket="$socket" --skip-networking --pid-file="$dir/mariadb.pid" \
    --log-error="$dir/error.log" --skip-log-bin --innodb-buffer-pool-size=32M "${run_as[@]}" &
server_pid=$!

admin=(mariadb --no-defaults --socket="$socket" --user=root)
for _ in $(seq 300); do
    if "${admin[@]}" -e 'SELECT 1' >/dev/null 2>&1; then break; fi
    if ! kill -0 "$server_pid" 2>/dev/null; then cat "$dir/error.log" >&2; exit 1; fi
    sleep 0.1
done
"${admin[@]}" -e 'SELECT 1' >/dev/null

# The program's role gets a password (kept in odbc.ini only); a role that may only read the settings
# serves the refused write. The template database holds the shipped schema; the tests' databases
# get theirs from the same file.
password="$(head -c 18 /dev/urandom | base64 | tr -d '/+=')"
template=ordovant_vorlage
"${admin[@]}" -e "CREATE DATABASE $template"
"${admin[@]}" "$template" <"$root/schema/mariadb.sql"
"${admin[@]}" "$template" <<SQL
ALTER USER ordovant IDENTIFIED BY '$password';
CREATE USER ordovant_lesend IDENTIFIED BY '$password';
SQL

odbc="$dir/odbc"
mkdir "$odbc"
cat >"$odbc/odbcinst.ini" <<INI
[PostgreSQL Unicode]
Driver=psqlodbcw.so
[MariaDB Unicode]
Driver=libmaodbc.so
INI
cat >"$odbc/odbc.ini" <<INI
[ordovant_pg]
Driver=PostgreSQL Unicode
Servername=${PGHOST:-localhost}
Port=${PGPORT:-5432}
Username=ordovant
Password=${PGPASSWORD:-}
Database=${ORDOVANT_TEST_PG_TEMPLATE:-postgres}

[ordovant_mariadb]
Driver=MariaDB Unicode
Socket=$socket
User=ordovant
Password=$password
Database=$template

[ordovant_mariadb_admin]
Driver=MariaDB Unicode
Socket=$socket
User=root
Database=$template
INI
# The file that holds passwords is for its owner only, as an administrator keeps it.
chmod 600 "$odbc/odbc.ini"

export ODBCSYSINI="$odbc"
export ODBCINI="$odbc/odbc.ini"
export ORDOVANT_TEST_ODBC_PG_DSN=ordovant_pg
export ORDOVANT_TEST_ODBC_MARIADB_DSN=ordovant_mariadb
export ORDOVANT_TEST_ODBC_MARIADB_ADMIN_DSN=ordovant_mariadb_admin
export ORDOVANT_TEST_MARIADB_SOCKET="$socket"
export ORDOVANT_TEST_MARIADB_TEMPLATE="$template"
export ORDOVANT_TEST_MARIADB_PASSWORD="$password"
"$@"
