#!/usr/bin/env bash
# Installs what is missing, builds and runs every test, the server tests on a PostgreSQL of their own.
# ./test.sh             the normal build in build/
# ./test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/, and at the
#                       end what the tests reached of the code (build-asan/coverage/index.html per file)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

build_dir="$root/build"
# Every warning fails the normal build, as in CI; the sanitizer build looks for faults at run time.
cmake_args=(-DORDOVANT_WERROR=ON)
coverage=false
if [ "${1:-}" = "--sanitize" ]; then
    build_dir="$root/build-asan"
    coverage=true
    cmake_args=(-DORDOVANT_SANITIZE=ON -DORDOVANT_COVERAGE=ON)
    "$root/scripts/install-missing.sh" gcovr
    export BUILD_TYPE=Debug
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
    export LSAN_OPTIONS="suppressions=$root/tests/support/lsan-suppressions.txt:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi

"$root/scripts/setup.sh" "$build_dir" "${cmake_args[@]}"
export QT_QPA_PLATFORM=offscreen
# The counts of this run alone: a program adds its counts to those an earlier run left.
if $coverage; then find "$build_dir" -name '*.gcda' -delete; fi
# The server tests run against a throw-away PostgreSQL cluster, with a PgBouncer in front of it, and a
# throw-away MariaDB server reached through ODBC, that live as long as ctest.
pg_virtualenv -t "$root/tests/support/with-postgresql.sh" "$root/tests/support/with-mariadb.sh" \
    "$root/tests/support/with-pgbouncer.sh" \
    ctest --test-dir "$build_dir" --output-on-failure -j"$(nproc)"
if $coverage; then "$root/scripts/coverage.py" "$build_dir"; fi
