#!/usr/bin/env bash
# Builds the Debian package with scripts/package.sh and checks it from the outside, the way an
# administrator meets it: its files, dependencies and conffile, no RPATH, and a no-work start of the
# unpacked program on the sample host.ini. Slow (a release build of its own), so not run by ./test.sh.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

passed=0
failed=0
check() {
    local name="$1"
    shift
    if "$@"; then
        echo "PASS: $name"
        passed=$((passed + 1))
    else
        echo "FAIL: $name"
        failed=$((failed + 1))
    fi
}
finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit
}

if "$root/scripts/package.sh" >"$work/package.log" 2>&1; then
    grep -E '^[EWI]: ' "$work/package.log"
    check "scripts/package.sh builds the package; lintian reports no error" true
else
    cat "$work/package.log"
    check "scripts/package.sh builds the package; lintian reports no error" false
    finish
fi
debs=("$root"/build-package/ordovant_*_*.deb)
deb="${debs[0]}"
dpkg -x "$deb" "$work/root"

files_are_exactly_these() {
    local expected=(
        /etc/xdg/autostart/ordovant.desktop
        /usr/bin/ordovant
        /usr/bin/ordovant-db
        /usr/share/doc/ordovant/README.md
        /usr/share/doc/ordovant/host-ini.md
        /usr/share/doc/ordovant/servers.md
        /usr/share/doc/ordovant/changelog.Debian.gz
        /usr/share/doc/ordovant/copyright
        /usr/share/doc/ordovant/central-server.sql
        /usr/share/doc/ordovant/host.ini.example
        /usr/share/doc/ordovant/mariadb.sql
        /usr/share/doc/ordovant/migrate-einstellung-filiale.sql
        /usr/share/doc/ordovant/postgresql.sql
        /usr/share/man/man1/ordovant-db.1.gz
        /usr/share/man/man1/ordovant.1.gz
    )
    # Everything but directories, as absolute paths.
    dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\.||' | sort >"$work/files"
    printf '%s\n' "${expected[@]}" | sort | diff -u - "$work/files"
}

# Every file of /usr/share/doc/ordovant that a manual page names is in the package.
manual_pages_name_shipped_documents() {
    local named missing=0
    named=$(zcat "$work"/root/usr/share/man/man1/*.1.gz | sed 's/\\-/-/g' |
        grep -o '/usr/share/doc/ordovant/[A-Za-z0-9._-]*' | sort -u)
    for named in $named; do
        [ -f "$work/root$named" ] || { echo "a manual page names $named, which the package lacks"; missing=1; }
    done
    return "$missing"
}

# The package names of a relation field, without versions or alternatives' order.
relations() {
    dpkg-deb -f "$deb" "$1" | tr ',|' '\n\n' | sed 's/(.*)//; s/ //g' | grep -v '^$'
}
depends_on() {
    local package
    for package in "$@"; do
        relations Depends | grep -qx "$package" || { echo "Depends lacks $package: $(dpkg-deb -f "$deb" Depends)"; return 1; }
    done
}
recommends() {
    relations Recommends | grep -qx "$1" || { echo "Recommends lacks $1: $(dpkg-deb -f "$deb" Recommends)"; return 1; }
}
suggests() {
    relations Suggests | grep -qx "$1" || { echo "Suggests lacks $1: $(dpkg-deb -f "$deb" Suggests)"; return 1; }
}

autostart_entry_is_conffile() {
    [ "$(dpkg-deb -I "$deb" conffiles)" = /etc/xdg/autostart/ordovant.desktop ]
}

no_rpath() {
    local binary
    for binary in "$work/root/usr/bin/ordovant" "$work/root/usr/bin/ordovant-db"; do
        if readelf -d "$binary" | grep -E 'RPATH|RUNPATH'; then return 1; fi
    done
}

# What apt would bring along when installing the package.
install_depends() {
    # shellcheck disable=SC2046 # one package a word
    "$root/scripts/install-missing.sh" $(relations Depends)
}

# The sample host.ini as it ships, an empty branch database: nothing to do, so the program ends by
# itself (a window would wait for an answer until the timeout) and reports nothing.
no_work_start_ends_quietly() {
    local home="$work/home" status=0
    install_depends || return 1
    mkdir -p "$home"
    cp "$work/root/usr/share/doc/ordovant/host.ini.example" "$home/host.ini"
    "$work/root/usr/bin/ordovant-db" create "$home/filiale.db" || return 1
    (cd "$work" && env -u LD_LIBRARY_PATH ORDOVANT_HOME="$home" QT_QPA_PLATFORM=offscreen \
        timeout 120 "$work/root/usr/bin/ordovant") >"$work/run.log" 2>&1 || status=$?
    if [ "$status" -ne 0 ] || [ -e "$home/ordovant.log" ]; then
        echo "exit status $status (124: still running, a window waits)"
        cat "$work/run.log" "$home/ordovant.log" 2>/dev/null
        return 1
    fi
}

check "the package holds exactly the programs, autostart entry, documents and manual pages" files_are_exactly_these
check "the documents the manual pages name are in the package" manual_pages_name_shipped_documents
check "Depends names the SQLite driver plugin and what the binaries link" \
    depends_on libqt6sql6-sqlite libqt6widgets6 libqt6sql6 libsqlite3-0 libc6
check "Recommends names the PostgreSQL driver plugin" recommends libqt6sql6-psql
check "Suggests names the ODBC driver plugin" suggests libqt6sql6-odbc
check "the autostart entry is a conffile" autostart_entry_is_conffile
check "the installed programs carry no RPATH" no_rpath
check "the unpacked program ends a no-work start with exit 0 and no window" no_work_start_ends_quietly
finish
