#!/usr/bin/env bash
# Runs a command with a throw-away PgBouncer in front of the PostgreSQL cluster of pg_virtualenv, in
# transaction pooling with a pool smaller than the clients the tests start, as a chain would run it:
#   pg_virtualenv -t tests/support/with-postgresql.sh tests/support/with-pgbouncer.sh ctest ...
# It listens on a free port of 127.0.0.1, runs as an unprivileged user (PgBouncer refuses root) and
# logs in to the cluster with the test roles' password. The command learns it from
# ORDOVANT_TEST_PGBOUNCER_HOST and ORDOVANT_TEST_PGBOUNCER_PORT; without pgbouncer it runs without them.
set -euo pipefail

if ! command -v pgbouncer >/dev/null 2>&1 && [ ! -x /usr/sbin/pgbouncer ]; then
    echo "with-pgbouncer.sh: pgbouncer is not installed; the pooler cases are skipped" >&2
    exec "$@"
fi
pgbouncer_binary="$(command -v pgbouncer || echo /usr/sbin/pgbouncer)"

# The tests want a pool smaller than their clients; the benchmarks ask for a chain's pool.
pool_size="${ORDOVANT_PGBOUNCER_POOL_SIZE:-3}"
dir="$(mktemp -d /tmp/ordovant-pgbouncer.XXXXXX)"
run_as=()
if [ "$(id -u)" -eq 0 ]; then
    # The cluster of pg_virtualenv runs as postgres too.
    chown postgres: "$dir"
    run_as=(setpriv --reuid=postgres --regid=postgres --clear-groups)
fi

# A port where nothing answers now.
free_port() {
    local candidate
    while :; do
        candidate=$((20000 + RANDOM % 40000))
        if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then
            echo "$candidate"
            return
        fi
    done
}
port="$(free_port)"

# The roles of the test cluster share the cluster's password.
{
    for role in postgres ordovant ordovant_lesend; do
        printf '"%s" "%s"\n' "$role" "$PGPASSWORD"
    done
} > "$dir/userlist.txt"
chmod 0600 "$dir/userlist.txt"

cat > "$dir/pgbouncer.ini" <<INI
[databases]
* = host=${PGHOST:-localhost} port=${PGPORT:-5432}

[pgbouncer]
listen_addr = 127.0.0.1
listen_port = $port
unix_socket_dir =
auth_type = scram-sha-256
auth_file = $dir/userlist.txt
pool_mode = transaction
default_pool_size = $pool_size
max_client_conn = 400
max_db_connections = $pool_size
logfile = $dir/pgbouncer.log
pidfile = $dir/pgbouncer.pid
admin_users = postgres
INI
[ -z "${run_as[*]}" ] || chown postgres: "$dir"/*

"${run_as[@]}" "$pgbouncer_binary" -d "$dir/pgbouncer.ini"
stop() {
    if [ -f "$dir/pgbouncer.pid" ]; then
        kill "$(cat "$dir/pgbouncer.pid")" 2>/dev/null || true
        for _ in $(seq 50); do [ -f "$dir/pgbouncer.pid" ] || break; sleep 0.1; done
    fi
    rm -rf "$dir"
}
trap stop EXIT

for _ in $(seq 100); do
    if PGHOST=127.0.0.1 PGPORT="$port" psql -qAtc 'SELECT 1' -d postgres >/dev/null 2>&1; then
        break
    fi
    sleep 0.1
done
PGHOST=127.0.0.1 PGPORT="$port" psql -qAtc 'SELECT 1' -d postgres >/dev/null

export ORDOVANT_TEST_PGBOUNCER_HOST=127.0.0.1
export ORDOVANT_TEST_PGBOUNCER_PORT="$port"
"$@"
