#!/usr/bin/env bash
# Runs a command of the Windows build's tests with a user odbc.ini of its own beside the servers' data
# sources of tests/support/with-mariadb.sh:
#   pg_virtualenv -t tests/support/with-postgresql.sh tests/support/with-mariadb.sh \
#       scripts/windows/with-odbc-user-sources.sh ctest ...
# A Windows program under Wine reaches the servers through Wine's odbc32, which hands its calls to the
# host's unixODBC; that driver manager reads ODBCINI from the Unix side, which a Windows program cannot
# change. The tests write their data sources into the file instead, and find it by its Windows path in
# ORDOVANT_TEST_ODBCINI.
set -euo pipefail

dir="$(mktemp -d /tmp/ordovant-odbc-user.XXXXXX)"
trap 'rm -rf "$dir"' EXIT
: >"$dir/odbc.ini"
chmod 600 "$dir/odbc.ini"
export ODBCINI="$dir/odbc.ini"
windows_path="$(winepath -w "$ODBCINI")"
export ORDOVANT_TEST_ODBCINI="$windows_path"
"$@"
