#!/usr/bin/env bash
# Runs a command against the throw-away PostgreSQL cluster that pg_virtualenv has just started:
#   pg_virtualenv -t tests/support/with-postgresql.sh ctest ...
# Loads the shipped schema into a template database that the server tests copy, gives the program's
# role the cluster's password, and adds a role that may only read the settings.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
template=ordovant_vorlage

psql -q -v ON_ERROR_STOP=1 -d postgres -c "CREATE DATABASE $template"
psql -q -v ON_ERROR_STOP=1 -d "$template" -f "$root/schema/postgresql.sql"
psql -q -v ON_ERROR_STOP=1 -d "$template" -v pw="$PGPASSWORD" <<'SQL'
ALTER ROLE ordovant PASSWORD :'pw';
CREATE ROLE ordovant_lesend LOGIN PASSWORD :'pw';
GRANT SELECT ON absortieraufgabe, beleg, einstellung TO ordovant_lesend;
SQL

export ORDOVANT_TEST_PG_TEMPLATE="$template"
exec "$@"
