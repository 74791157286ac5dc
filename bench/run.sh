#!/usr/bin/env bash
# Benchmarks ordovant against its floor and prints one table: each row the median of several runs of
# ordovant beside its reference measured in the same run, and their ratio.
# Builds (Release) into build-bench/, prepares the branch databases once into build-bench/bench-data/.
# The server rows run against a throw-away PostgreSQL cluster (pg_virtualenv) made for them.
# Usage: bench/run.sh [--no-build]     RUNS=11 bench/run.sh   (repetitions per row, default 9;
# the whole-process rows run three times as often)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${ORDOVANT_BENCH_BUILD:-$root/build-bench}"
data="$build/bench-data"
bin="$build/bench"
runs="${RUNS:-9}"
# A whole process takes some 50 ms: three times the runs cost little and steady the medians.
process_runs=$((3 * runs))
# shellcheck source=tools/demo/hostini.sh
source "$root/tools/demo/hostini.sh"

# --- Build -----------------------------------------------------------------------------------------
build_all() {
    "$root/scripts/install-missing.sh" libbenchmark-dev sqlite3 postgresql libpq-dev libqt6sql6-psql \
        libqt6sql6-odbc unixodbc odbc-postgresql odbc-mariadb mariadb-server pgbouncer >/dev/null
    echo "Building (Release) into $build ..."
    mkdir -p "$build"
    if ! BUILD_TYPE=Release "$root/scripts/setup.sh" "$build" -DORDOVANT_BENCH=ON -DBUILD_TESTING=OFF \
            >"$build/bench-build.log" 2>&1; then
        tail -n 40 "$build/bench-build.log"
        exit 1
    fi
}

# --- Data ------------------------------------------------------------------------------------------

# database NAME [ordovant-db options...]: $data/NAME.db, made again only when its options changed.
database() {
    local name="$1"
    shift
    local file="$data/$name.db" stamp="$data/$name.args"
    if [ -f "$file" ] && [ "$(cat "$stamp" 2>/dev/null)" = "$*" ]; then return 0; fi
    echo "Preparing $name.db ..."
    rm -f "$data/$name".*
    "$build/tools/ordovant-db" create "$file" "$@"
    echo "$*" >"$stamp"
}

# 10^5 open reservations and selections of branch 1 and as many of other branches, none expired on
# the business date 2026-12-08: the check must read every one.
belege() {
    local file="$data/$1.db" stamp="$data/$1.belege"
    [ -f "$stamp" ] && return 0
    sqlite3 "$file" "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 199999)
        INSERT INTO beleg (filiale, art, ablaufdatum, erledigt)
        SELECT CASE WHEN i % 2 = 0 THEN 1 ELSE 2 + (i / 2) % 19 END, 32 + (i / 2) % 2,
               date('2027-01-01', '+' || (i % 365) || ' days'), 0 FROM n;"
    touch "$stamp"
}

# home NAME BRANCH DATABASE_SECTION [TERMINAL]: a host directory for the terminal (default 01) of the
# branch, with the given lines under [Datenbank].
home() {
    local dir="$data/home-$1"
    mkdir -p "$dir"
    rm -f "$dir/ordovant.log"
    {
        workstation_host_ini "${4:-01}" "$2"
        printf '[Geschaeftsdatum]\nDatum=2026-12-08\n[Datenbank]\n%s\n' "$3"
    } >"$dir/host.ini"
}

# Reports in the host's log mean a run did not do what it was measured for.
check_log() {
    local log="$data/home-$1/ordovant.log"
    if [ -s "$log" ]; then
        echo "ordovant reported errors in $log:" >&2
        cat "$log" >&2
        exit 1
    fi
}


sizes=(1000 10000 100000 1000000)
labels=("10^3" "10^4" "10^5" "10^6")

# The SQLite files, made once with ordovant-db and kept, and their host directories.
file_data() {
    mkdir -p "$data"
    for size in "${sizes[@]}"; do
        database "tasks-$size" --random-tasks "$size" --branches 20 --open-percent 10 --seed 1
        home "tasks-$size" 1 "Pfad=../tasks-$size.db"
    done
    database tasks-1000000-noindex --random-tasks 1000000 --branches 20 --open-percent 10 --seed 1 --no-index
    home tasks-1000000-noindex 1 "Pfad=../tasks-1000000-noindex.db"
    database belege --random-tasks 1000 --branches 20 --open-percent 10 --seed 1
    belege belege
    home belege 1 "Pfad=../belege.db"
    # No work: branch 21 has no task; the database holds branches 1 to 20.
    home nowork 21 "Pfad=../tasks-1000.db"
    # The notice: branch 1 with about 50 open tasks, counting several types and origins.
    home notice 1 "Pfad=../tasks-10000.db"
    cat >"$data/home-notice/einstellungen.ini" <<INI
[ORDOVANT/DM]
GV01=KUNDBEST|RESERV|FILUML|RUECKZL|LIEFRET|INVDIFF|ABSCHR
HERKUNFT01=O|K|W|A|I|U|Z|L
INI
}

# The rows on the SQLite files.
file_rows() {
    ORDOVANT_HOME="$data/home-nowork" "$bin/bench_process" --runs "$process_runs" --name "No work" \
        --wall-goal 1.15 --rss-goal 1.15 -- "$build/app/ordovant" ::: "$bin/bare_app"
    check_log nowork

    for i in "${!sizes[@]}"; do
        ORDOVANT_HOME="$data/home-tasks-${sizes[i]}" "$bin/bench_counting" -KD --label="${labels[i]} tasks" \
            --benchmark_repetitions="$runs"
        check_log "tasks-${sizes[i]}"
    done
    ORDOVANT_HOME="$data/home-tasks-1000000-noindex" "$bin/bench_counting" -KD --label="10^6 tasks, no index" \
        --steady-only --goal=0 --benchmark_repetitions="$runs"
    check_log tasks-1000000-noindex

    ORDOVANT_HOME="$data/home-notice" "$bin/bench_process" --runs "$process_runs" --name "Notice" \
        --shown-goal 1.25 -- "$bin/notice_probe" -KD ::: "$bin/bare_dialog"
    check_log notice

    ORDOVANT_HOME="$data/home-belege" "$bin/bench_expired" --label="10^5 documents, SQLite" \
        --benchmark_repetitions="$runs"
    check_log belege
}

# server_database NAME: a new database on the cluster with the shipped schema; the program's role
# gets the cluster's password (PGPASSWORD), as tests/support/with-postgresql.sh does.
server_database() {
    psql -q -v ON_ERROR_STOP=1 -d postgres -c "CREATE DATABASE $1" >&2
    psql -q -v ON_ERROR_STOP=1 -d "$1" -f "$root/schema/postgresql.sql" >&2
    psql -q -v ON_ERROR_STOP=1 -d "$1" -v pw="$PGPASSWORD" >&2 <<<"ALTER ROLE ordovant PASSWORD :'pw';"
}

# qpsql_section HOST PORT DATABASE ZEITLIMIT: host.ini's [Datenbank] lines for the program's role.
qpsql_section() {
    printf 'Treiber=QPSQL\nHost=%s\nPort=%s\nName=%s\nBenutzer=ordovant\nZeitlimit=%s' "$@"
}

# The rows on a PostgreSQL server: run by pg_virtualenv, which has just made a cluster and set PGHOST,
# PGPORT, PGUSER and PGPASSWORD; the data goes in afresh every time.
server_rows() {
    local db=ordovant_bench workstations=32
    echo "Preparing the server's tables ..." >&2
    server_database "$db"
    # The same kinds of rows as the SQLite rows' files: 10^3 tasks of branches 1 to 20, about 10 % open;
    # 10^5 open reservations and selections of branch 1, none expired on the business date 2026-12-08,
    # and as many of branches 2 to 20.
    psql -q -v ON_ERROR_STOP=1 -d "$db" >&2 <<'SQL'
INSERT INTO absortieraufgabe (filiale, gv, herkunft, erledigt)
    SELECT 1 + (i * 7) % 20, (i * 5) % 9, (i * 13) % 54, CASE WHEN (i * 3) % 10 = 0 THEN 0 ELSE 1 END
    FROM generate_series(0, 999) AS i;
INSERT INTO beleg (filiale, art, ablaufdatum, erledigt)
    SELECT CASE WHEN i % 2 = 0 THEN 1 ELSE 2 + (i / 2) % 19 END, 32 + (i / 2) % 2,
           date '2027-01-01' + i % 365, 0
    FROM generate_series(0, 199999) AS i;
VACUUM ANALYZE;
SQL
    # Every workstation connects as the program's role with the cluster's password from PGPASSWORD.
    local section
    section="$(qpsql_section "$PGHOST" "$PGPORT" "$db" 5)"
    local conninfo="host=$PGHOST port=$PGPORT dbname=$db user=ordovant connect_timeout=5"
    home server-nowork 21 "$section"
    # The same server through psqlODBC: a data source of its own, with the password, as an
    # administrator keeps it.
    mkdir -p "$data/odbc"
    printf '[PostgreSQL Unicode]\nDriver=psqlodbcw.so\n' >"$data/odbc/odbcinst.ini"
    printf '[ordovant_bench]\nDriver=PostgreSQL Unicode\nServername=%s\nPort=%s\nDatabase=%s\nUsername=ordovant\nPassword=%s\n' \
        "$PGHOST" "$PGPORT" "$db" "$PGPASSWORD" >"$data/odbc/odbc.ini"
    chmod 600 "$data/odbc/odbc.ini"
    home server-odbc-nowork 21 "Treiber=QODBC
Name=ordovant_bench
Zeitlimit=5"
    home server-belege 1 "$section"
    for ((i = 1; i <= workstations; i++)); do
        home "server-ws-$(printf %02d "$i")" 21 "$section" "$(printf %02d "$i")"
    done

    ORDOVANT_HOME="$data/home-server-nowork" "$bin/bench_process" --runs "$process_runs" \
        --name "No work, server" --wall-goal 1.2 -- "$build/app/ordovant" ::: "$bin/bare_app_libpq" "$conninfo" 21
    check_log server-nowork

    # What the ODBC layer costs: the same start through QODBC, beside it through QPSQL; no goal.
    ODBCSYSINI="$data/odbc" ODBCINI="$data/odbc/odbc.ini" ORDOVANT_HOME="$data/home-server-odbc-nowork" \
        "$bin/bench_process" --runs "$process_runs" --name "No work, server via ODBC (reference: QPSQL)" \
        -- "$build/app/ordovant" ::: env ORDOVANT_HOME="$data/home-server-nowork" "$build/app/ordovant"
    check_log server-odbc-nowork

    "$bin/bench_concurrent" --rounds "$runs" --instances "$workstations" --homes "$data/home-server-ws-" \
        --name "$workstations workstations at once" -- "$build/app/ordovant"

    ORDOVANT_HOME="$data/home-server-belege" "$bin/bench_expired" --label="10^5 documents, server" \
        --benchmark_repetitions="$runs"
    check_log server-belege
}

# A chain's central server: 1000 branches in one database, 10^7 tasks and 10^6 documents (about three
# minutes to make on 2 cores; CHAIN_TASKS=N CHAIN_BELEGE=M scale them down).
chain_rows() {
    local db=ordovant_chain tasks="${CHAIN_TASKS:-10000000}" belege="${CHAIN_BELEGE:-1000000}"
    echo "Preparing the chain's tables ($tasks tasks, $belege documents) ..." >&2
    server_database "$db"
    psql -q -v ON_ERROR_STOP=1 -d "$db" -v tasks="$tasks" -v belege="$belege" >&2 <<'SQL'
INSERT INTO absortieraufgabe (filiale, gv, herkunft, erledigt)
    SELECT 1 + i % 1000, (i / 1000) % 9, (i / 9000) % 54, CASE WHEN i % 10 = 0 THEN 0 ELSE 1 END
    FROM generate_series(0, :tasks - 1) AS i;
INSERT INTO beleg (filiale, art, ablaufdatum, erledigt)
    SELECT 1 + i % 1000, 32 + (i / 1000) % 2, date '2027-01-01' + i % 365, 0
    FROM generate_series(0, :belege - 1) AS i;
VACUUM ANALYZE;
SQL
    # The pooler of a chain: transaction pooling, 20 server connections.
    ORDOVANT_PGBOUNCER_POOL_SIZE=20 "$root/tests/support/with-pgbouncer.sh" "$0" --pooled-rows
}

# crowd_direct NAME COUNT: COUNT starts at once on the homes NAME-01...; prints how many failed and
# with what, and p50 and p99 of the wall times.
crowd_direct() {
    local name="$1" count="$2" times="$data/$1.times"
    : >"$times"
    for ((i = 1; i <= count; i++)); do
        (
            start=$(date +%s%N)
            ORDOVANT_HOME="$data/home-$name-$(printf %03d "$i")" "$build/app/ordovant" -KD >/dev/null 2>&1
            echo $((($(date +%s%N) - start) / 1000000)) >>"$times"
        ) &
    done
    wait
    local failed reason p50 p99
    failed=$(cat "$data"/home-"$name"-*/ordovant.log 2>/dev/null | grep -c . || true)
    # A start reports at most one failure.
    reason=$(cat "$data"/home-"$name"-*/ordovant.log 2>/dev/null | grep -o 'FATAL: *[^(]*' | sort | uniq -c | sort -rn |
        head -n 1 | sed 's/^ *//' || true)
    p50=$(sort -n "$times" | awk '{a[NR]=$1} END {print a[int(NR*0.5+0.5)]}')
    p99=$(sort -n "$times" | awk '{a[NR]=$1} END {i=int(NR*0.99+0.5); if (i<1) i=1; print a[i]}')
    printf '%-50s p50 %6s ms  p99 %6s ms  failed %d of %d%s\n' "$3" "$p50" "$p99" "$failed" "$count" \
        "${reason:+: $reason}"
}

# The rows through PgBouncer, beside the same direct; run by with-pgbouncer.sh, which has set
# ORDOVANT_TEST_PGBOUNCER_HOST and ORDOVANT_TEST_PGBOUNCER_PORT.
pooled_rows() {
    local db=ordovant_chain crowd=200
    local direct pooled
    : "${ORDOVANT_TEST_PGBOUNCER_HOST:?set by with-pgbouncer.sh}"
    direct="$(qpsql_section "$PGHOST" "$PGPORT" "$db" 30)"
    pooled="$(qpsql_section "$ORDOVANT_TEST_PGBOUNCER_HOST" "$ORDOVANT_TEST_PGBOUNCER_PORT" "$db" 30)"
    # Branch 1001 has no task: a start counts and ends.
    home chain-direct 1001 "$direct"
    home chain-pooled 1001 "$pooled"
    ORDOVANT_HOME="$data/home-chain-pooled" "$bin/bench_process" --runs "$process_runs" \
        --name "Chain, no work, via PgBouncer (reference: direct)" --wall-goal 1.1 -- "$build/app/ordovant" ::: \
        env ORDOVANT_HOME="$data/home-chain-direct" "$build/app/ordovant"
    check_log chain-pooled
    check_log chain-direct
    # Branch 1 holds a thousandth of the tasks, a tenth of them open: its detailed count.
    home chain-count-direct 1 "$direct"
    home chain-count-pooled 1 "$pooled"
    ORDOVANT_HOME="$data/home-chain-count-pooled" "$bin/bench_counting" -KD \
        --label="a branch of the chain via PgBouncer (reference: direct)" \
        --reference-home="$data/home-chain-count-direct" --goal=1.1 --benchmark_repetitions="$runs"
    check_log chain-count-pooled
    check_log chain-count-direct
    echo "max_connections = $(psql -qAtc 'SHOW max_connections' -d postgres); PgBouncer pool: 20 (transaction)"
    for ((i = 1; i <= crowd; i++)); do
        home "chain-crowd-direct-$(printf %03d "$i")" 1001 "$direct" "$(printf %03d "$i")"
        home "chain-crowd-pooled-$(printf %03d "$i")" 1001 "$pooled" "$(printf %03d "$i")"
    done
    crowd_direct chain-crowd-direct "$crowd" "$crowd workstations at once, direct"
    crowd_direct chain-crowd-pooled "$crowd" "$crowd workstations at once, via PgBouncer"
}

# --- A wide-area link ---------------------------------------------------------------------------

# A round trip of the link: the relay delays each direction by half of it.
link_rtt_ms="${LINK_RTT_MS:-30}"

# relay_report: the client turns the relay counted since the last report, once all connections closed.
relay_report() {
    echo report >&"${RELAY[1]}"
    local words
    # "turns T connections C open O"
    read -r -a words <&"${RELAY[0]}"
    echo "${words[1]}"
}

# link_row LABEL REFERENCE... ::: PROGRAM...: both through the running relay, alternately, RUNS times
# after one warm-up round; prints each side's client turns and median wall time.
link_row() {
    local label="$1" side=reference
    shift
    local reference=() program=()
    for word in "$@"; do
        if [ "$word" = ":::" ]; then side=program; continue; fi
        if [ "$side" = reference ]; then reference+=("$word"); else program+=("$word"); fi
    done
    local ref_times="$data/link.ref" prog_times="$data/link.prog" ref_turns=0 prog_turns=0 start
    : >"$ref_times"
    : >"$prog_times"
    for ((i = 0; i <= runs; i++)); do
        start=$(date +%s%N)
        "${reference[@]}" >/dev/null 2>&1 || { echo "link_row: the reference failed: ${reference[*]}" >&2; exit 1; }
        [ "$i" -eq 0 ] || echo $((($(date +%s%N) - start) / 1000)) >>"$ref_times"
        ref_turns=$(relay_report)
        start=$(date +%s%N)
        "${program[@]}" >/dev/null 2>&1 || { echo "link_row: the program failed: ${program[*]}" >&2; exit 1; }
        [ "$i" -eq 0 ] || echo $((($(date +%s%N) - start) / 1000)) >>"$prog_times"
        prog_turns=$(relay_report)
    done
    local ref_ms prog_ms
    ref_ms=$(sort -n "$ref_times" | awk '{a[NR]=$1} END {printf "%.0f", a[int((NR+1)/2)]/1000}')
    prog_ms=$(sort -n "$prog_times" | awk '{a[NR]=$1} END {printf "%.0f", a[int((NR+1)/2)]/1000}')
    printf '%-58s turns %3d  %3d (%+d)   %6s ms  %6s ms  %5s\n' "$label" "$prog_turns" "$ref_turns" \
        $((prog_turns - ref_turns)) "$prog_ms" "$ref_ms" "$(awk -v a="$prog_ms" -v b="$ref_ms" 'BEGIN {printf "%.2f", a/b}')"
}

# The rows through the link: run by pg_virtualenv with tests/support/with-postgresql.sh,
# with-mariadb.sh (where MariaDB is installed) and with-pgbouncer.sh, which set up the servers and
# their ODBC data sources as for the tests.
link_rows() {
    local db=ordovant_link
    mkdir -p "$data"
    psql -q -v ON_ERROR_STOP=1 -d postgres -c "CREATE DATABASE $db TEMPLATE $ORDOVANT_TEST_PG_TEMPLATE" >&2
    # Branch 42 has open tasks and documents that have not expired; branch 21 has nothing.
    local rows="INSERT INTO absortieraufgabe (filiale, gv, herkunft, erledigt) VALUES (42, 3, 11, 0), (42, 4, 1, 0), (42, 3, 11, 1);
INSERT INTO beleg (filiale, art, ablaufdatum, erledigt) VALUES (42, 32, '2027-01-01', 0), (42, 33, NULL, 0);"
    psql -q -v ON_ERROR_STOP=1 -d "$db" -c "$rows" >&2
    local mariadb_db="${ORDOVANT_TEST_MARIADB_TEMPLATE:-}"
    if [ -n "$mariadb_db" ]; then
        mariadb --no-defaults --socket="$ORDOVANT_TEST_MARIADB_SOCKET" --user=root "$mariadb_db" -e "$rows"
        cp "$ODBCINI" "$data/link-odbc.ini"
        export ODBCINI="$data/link-odbc.ini"
    fi
    local count="SELECT COUNT(*) FROM absortieraufgabe WHERE filiale = 42 AND erledigt = 0"
    echo "A link of $link_rtt_ms ms round trip (relay on 127.0.0.1): ordovant and its reference, the route's client" \
        "connecting and asking for one count; client turns, median wall time of $runs runs"
    printf '%-58s %-22s %9s  %9s  %5s\n' case "turns: ordovant, floor" ordovant floor ratio
    for route in QPSQL QPSQL-PgBouncer QODBC-PostgreSQL QODBC-MariaDB; do
        local upstream reference section
        case "$route" in
            QPSQL) upstream=(--to "127.0.0.1:$PGPORT") ;;
            QPSQL-PgBouncer)
                [ -n "${ORDOVANT_TEST_PGBOUNCER_PORT:-}" ] || continue
                upstream=(--to "127.0.0.1:$ORDOVANT_TEST_PGBOUNCER_PORT") ;;
            QODBC-PostgreSQL)
                [ -n "${ORDOVANT_TEST_ODBC_PG_DSN:-}" ] || continue
                upstream=(--to "127.0.0.1:$PGPORT") ;;
            QODBC-MariaDB)
                [ -n "$mariadb_db" ] || continue
                upstream=(--to-socket "$ORDOVANT_TEST_MARIADB_SOCKET") ;;
        esac
        coproc RELAY { "$bin/turnproxy" "${upstream[@]}" --delay-ms $((link_rtt_ms / 2)) --seconds 3600; }
        local port
        read -r _ port <&"${RELAY[0]}"
        case "$route" in
            QPSQL | QPSQL-PgBouncer)
                section="$(qpsql_section 127.0.0.1 "$port" "$db" 10)"
                reference=(psql -X -h 127.0.0.1 -p "$port" -U ordovant -d "$db" -c "$count") ;;
            QODBC-PostgreSQL)
                printf '[link_pg]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\nPort=%s\nUsername=ordovant\nPassword=%s\nDatabase=%s\n' \
                    "$port" "$PGPASSWORD" "$db" >>"$ODBCINI"
                section=$'Treiber=QODBC\nName=link_pg\nZeitlimit=10'
                # psqlODBC connects without TLS unless told.
                reference=(env PGSSLMODE=disable psql -X -h 127.0.0.1 -p "$port" -U ordovant -d "$db" -c "$count") ;;
            QODBC-MariaDB)
                printf '[link_mariadb]\nDriver=MariaDB Unicode\nServer=127.0.0.1\nPort=%s\nUser=ordovant\nPassword=%s\nDatabase=%s\n' \
                    "$port" "$ORDOVANT_TEST_MARIADB_PASSWORD" "$mariadb_db" >>"$ODBCINI"
                section=$'Treiber=QODBC\nName=link_mariadb\nZeitlimit=10'
                reference=(env MYSQL_PWD="$ORDOVANT_TEST_MARIADB_PASSWORD" mariadb --no-defaults --protocol=TCP
                    -h 127.0.0.1 -P "$port" -u ordovant "$mariadb_db" -e "$count") ;;
        esac
        section+=$'\n[Einstellungen]\nSpeicher=Datenbank'
        home link-nowork 21 "$section"
        home link-notice 42 "$section"
        home link-save 21 "$section"
        link_row "$route: start without work" "${reference[@]}" ::: \
            env ORDOVANT_HOME="$data/home-link-nowork" "$build/app/ordovant" -KD
        link_row "$route: start with work (notice)" "${reference[@]}" ::: \
            env ORDOVANT_HOME="$data/home-link-notice" "$bin/notice_probe" -KD
        link_row "$route: -A" "${reference[@]}" ::: env ORDOVANT_HOME="$data/home-link-notice" "$build/app/ordovant" -A
        link_row "$route: save in the options dialog" "${reference[@]}" ::: \
            env ORDOVANT_HOME="$data/home-link-save" "$bin/options_probe" -O -KD
        for name in nowork notice save; do check_log "link-$name"; done
        echo quit >&"${RELAY[1]}"
        wait "$RELAY_PID" 2>/dev/null || true
    done
}

export QT_QPA_PLATFORM=offscreen
if [ "${1:-}" = "--link-rows" ]; then
    # Only the link's rows: pg_virtualenv -t tests/support/with-postgresql.sh tests/support/with-mariadb.sh
    #   tests/support/with-pgbouncer.sh bench/run.sh --link-rows
    # From the whole script the table goes to descriptor 3, past what pg_virtualenv says.
    if { true >&3; } 2>/dev/null; then exec >&3 3>&-; fi
    link_rows
    exit 0
fi
if [ "${1:-}" = "--pooled-rows" ]; then
    pooled_rows
    exit 0
fi
if [ "${1:-}" = "--chain-rows" ]; then
    # Only the chain's rows, in a cluster of their own: pg_virtualenv -t bench/run.sh --chain-rows
    mkdir -p "$data"
    chain_rows
    exit 0
fi
if [ "${1:-}" = "--server-rows" ]; then
    # The table goes to descriptor 3; what pg_virtualenv itself says stays on standard error.
    exec >&3 3>&-
    server_rows
    chain_rows
    exit 0
fi

[ "${1:-}" = "--no-build" ] || build_all
file_data
echo
echo "ordovant against its floor: medians of $process_runs process runs or $runs benchmark repetitions," \
    "ordovant and reference interleaved" \
    "($(nproc) cores, load average $(cut -d' ' -f1 /proc/loadavg) before the runs)"
"$bin/bench_process" --header
file_rows
# -t: the cluster lives in a temporary directory, beside any cluster another run has made.
pg_virtualenv -t "$0" --server-rows 3>&1 1>&2
echo
pg_virtualenv -t "$root/tests/support/with-postgresql.sh" "$root/tests/support/with-mariadb.sh" \
    "$root/tests/support/with-pgbouncer.sh" "$0" --link-rows 3>&1 1>&2
