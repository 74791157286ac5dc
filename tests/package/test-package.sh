#!/usr/bin/env bash
# Builds the Debian package with scripts/package.sh and checks it from the outside, the way an
# administrator meets it: its files, the links of its documents, dependencies and conffile, no RPATH, its
# bill of materials, a no-work start of the unpacked program on the sample host.ini, the same bytes from
# a second build in another directory, and an install, the layout it makes, starts and a purge on
# Debian 13 in a chroot.
# Slow (two release builds), so not run by ./test.sh.
# The checks are functions that only check() calls, which shellcheck takes for unreachable code.
# shellcheck disable=SC2317
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
# shellcheck source=tests/support/debian-chroot.sh
source "$root/tests/support/debian-chroot.sh"
work="$(mktemp -d)"
trap 'debian_chroot_close "$work/trixie" && rm -rf "$work"' EXIT
"$root/scripts/install-missing.sh" debootstrap zstd jq diffoscope-minimal >/dev/null
# Both builds stand for the time of the commit; the copy below has no history to ask.
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}"

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
        /usr/share/doc/ordovant/windows.md
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

# The installed README and manuals link only to each other and the sample, each link to a heading there.
documents_link_only_shipped_files() {
    python3 "$root/tests/support/doc-links-resolve.py" "$work/root/usr/share/doc/ordovant"
}

# The package names of a relation field, without versions or alternatives' order.
relations() {
    dpkg-deb -f "$deb" "$1" | tr ',|' '[\n*]' | sed 's/(.*)//; s/ //g' | grep -v '^$'
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

# The two places of the installed layout, empty: postinst gives the users' folder its group and mode.
package_has_both_places() {
    dpkg-deb -c "$deb" | awk '$1 ~ /^d/ { print $1, $2, $6 }' >"$work/directories"
    if ! grep -qx 'drwxr-xr-x root/root ./etc/ordovant/' "$work/directories" \
        || ! grep -qx 'drwxr-xr-x root/root ./var/lib/ordovant/' "$work/directories"; then
        cat "$work/directories"
        return 1
    fi
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
# Usage: ends_quietly HOME COMMAND...   (HOME as seen here; COMMAND runs the program on it)
ends_quietly() {
    local home="$1" status=0
    shift
    "$@" >"$work/run.log" 2>&1 || status=$?
    if [ "$status" -ne 0 ] || [ -e "$home/ordovant.log" ]; then
        echo "exit status $status (124: still running, a window waits)"
        cat "$work/run.log" "$home/ordovant.log" 2>/dev/null
        return 1
    fi
}
no_work_start_ends_quietly() {
    local home="$work/home"
    install_depends || return 1
    mkdir -p "$home"
    cp "$work/root/usr/share/doc/ordovant/host.ini.example" "$home/host.ini"
    "$work/root/usr/bin/ordovant-db" create "$home/filiale.db" || return 1
    ends_quietly "$home" env -u LD_LIBRARY_PATH ORDOVANT_HOME="$home" QT_QPA_PLATFORM=offscreen \
        timeout 120 "$work/root/usr/bin/ordovant"
}

sbom_lists_every_file() {
    "$root/tests/support/sbom-lists-files.sh" "${deb%.deb}.spdx.json" "$work/root"
}

# A second build from a copy of the checkout elsewhere gives the same bytes.
same_from_another_directory() {
    mkdir -p "$work/copy"
    git -C "$root" ls-files -z --cached --others --exclude-standard \
        | (cd "$root" && xargs -0 cp --parents -t "$work/copy" 2>/dev/null)
    "$work/copy/scripts/package.sh" >"$work/package2.log" 2>&1 || { cat "$work/package2.log"; return 1; }
    local other file
    for file in "$deb" "${deb%.deb}.spdx.json"; do
        other="$work/copy/build-package/$(basename "$file")"
        cmp -s "$file" "$other" && continue
        diffoscope --text - "$file" "$other" | head -200
        return 1
    done
}

# Debian 13 with apt: the dependencies come along, a no-work start ends quietly, a start with work has
# the branch program print and shows the notice, and a purge leaves none of the package's files.
trixie="$work/trixie"
in_trixie() { debian_chroot "$trixie" "$@"; }
installs_on_debian13() {
    debian_chroot_open trixie "$trixie" || return 1
    cp "$deb" "$trixie/tmp/"
    in_trixie apt-get install -y -qq --no-install-recommends "/tmp/$(basename "$deb")" >"$work/apt.log" 2>&1 \
        || { cat "$work/apt.log"; return 1; }
    in_trixie dpkg -L ordovant >"$work/trixie-files"
}
starts_on_debian13() {
    local home="$trixie/root/host" status=0
    mkdir -p "$home/bin"
    cp "$trixie/usr/share/doc/ordovant/host.ini.example" "$home/host.ini"
    in_trixie ordovant-db create /root/host/filiale.db || return 1
    ends_quietly "$home" in_trixie env ORDOVANT_HOME=/root/host QT_QPA_PLATFORM=offscreen timeout 120 ordovant \
        || return 1
    # Work: an open task of branch 42. The notice stays until it is answered; it is up once the
    # branch program was told to print.
    cp "$root/tools/demo/torvelin-standin.sh" "$home/bin/torvelin.exe"
    in_trixie ordovant-db create --force /root/host/filiale.db --task 42,3,11 || return 1
    # chroot and env hand on their process: the one started is the program itself.
    chroot "$trixie" env -i PATH=/usr/bin:/bin HOME=/root LANG=C.UTF-8 ORDOVANT_HOME=/root/host \
        QT_QPA_PLATFORM=offscreen ordovant >"$work/trixie-run.log" 2>&1 &
    local started=$! waited=0
    until grep -qs -- '-AutoAufgDruck' "$home/torvelin.log" || [ "$waited" -ge 120 ]; do
        sleep 1; waited=$((waited + 1))
    done
    kill "$started" 2>/dev/null
    wait "$started" || status=$?
    # 143: it was still up, waiting for an answer, when it was ended.
    if [ "$status" -ne 143 ] || ! grep -qs -- '-AutoAufgDruck' "$home/torvelin.log" || [ -e "$home/ordovant.log" ]; then
        echo "start with work: exit status $status, the notice did not stay or the print was not asked for"
        cat "$work/trixie-run.log" "$home/torvelin.log" "$home/ordovant.log" 2>/dev/null
        return 1
    fi
}
# host.ini where only root may change it; the settings store and the log where the group ordovant may
# write, setgid so that what one user makes the others may replace.
installed_layout() {
    local layout
    layout="$(in_trixie stat -c '%n %U:%G %a' /etc/ordovant /var/lib/ordovant)"
    [ "$layout" = "/etc/ordovant root:root 755
/var/lib/ordovant root:ordovant 2775" ] || { echo "$layout"; return 1; }
}
# A user of the group ordovant without ORDOVANT_HOME: the program finds /etc/ordovant/host.ini and
# ends a no-work start quietly; once the group may change host.ini it runs nothing and says so in the
# users' folder's log.
starts_on_installed_layout() {
    local log="$trixie/var/lib/ordovant/ordovant.log" status=0
    in_trixie useradd -m -G ordovant kasse || return 1
    cp "$trixie/usr/share/doc/ordovant/host.ini.example" "$trixie/etc/ordovant/host.ini"
    in_trixie ordovant-db create /etc/ordovant/filiale.db || return 1
    as_kasse() {
        chroot "$trixie" setpriv --reuid=kasse --regid=kasse --init-groups env -i PATH=/usr/bin:/bin \
            HOME=/home/kasse LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen timeout 120 ordovant
    }
    ends_quietly "$trixie/var/lib/ordovant" as_kasse || return 1
    chmod g+w "$trixie/etc/ordovant/host.ini"
    as_kasse >"$work/trixie-run.log" 2>&1 || status=$?
    if [ "$status" -ne 0 ] || ! grep -qs 'chmod go-w /etc/ordovant/host.ini' "$log"; then
        echo "unsafe host.ini: exit status $status, not reported in $log"
        cat "$work/trixie-run.log" "$log" 2>/dev/null
        return 1
    fi
    # What an administrator and the users made there is not the package's.
    rm -f "$trixie"/etc/ordovant/* "$trixie"/var/lib/ordovant/*
}
purge_leaves_nothing() {
    in_trixie apt-get purge -y -qq ordovant >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; return 1; }
    if in_trixie dpkg-query -W ordovant 2>/dev/null; then echo "dpkg still knows ordovant"; return 1; fi
    local path left=0
    while read -r path; do
        case "$path" in /|/etc|/etc/xdg*|/usr|/usr/bin|/usr/share|/usr/share/doc|/usr/share/man*|/var|/var/lib) continue ;; esac
        [ -e "$trixie$path" ] && { echo "left: $path"; left=1; }
    done <"$work/trixie-files"
    [ "$left" -eq 0 ]
}

check "the package holds exactly the programs, autostart entry, documents and manual pages" files_are_exactly_these
check "the documents the manual pages name are in the package" manual_pages_name_shipped_documents
check "every link of the installed documents leads to an installed file" documents_link_only_shipped_files
check "Depends names the SQLite driver plugin and what the binaries link" \
    depends_on libqt6sql6-sqlite libqt6widgets6 libqt6sql6 libsqlite3-0 libc6
check "Recommends names the PostgreSQL driver plugin" recommends libqt6sql6-psql
check "Recommends names libpq, which the program loads for a PostgreSQL server" recommends libpq5
check "Suggests names the ODBC driver plugin" suggests libqt6sql6-odbc
check "the package holds /etc/ordovant and /var/lib/ordovant, root's" package_has_both_places
check "the autostart entry is a conffile" autostart_entry_is_conffile
check "the installed programs carry no RPATH" no_rpath
check "the unpacked program ends a no-work start with exit 0 and no window" no_work_start_ends_quietly
check "the bill of materials lists every file of the package with its SHA-256" sbom_lists_every_file
check "a second build in another directory gives the same package and bill, byte for byte" same_from_another_directory
if check "apt installs the package and what it depends on into Debian 13" installs_on_debian13; then
    check "on Debian 13 a no-work start ends quietly and a start with work shows the notice" starts_on_debian13
    check "on Debian 13 host.ini's folder is root's alone, the users' folder root:ordovant 2775" installed_layout
    check "on Debian 13 a user of the group finds /etc/ordovant and is refused a host.ini the group may change" \
        starts_on_installed_layout
    check "on Debian 13 apt-get purge leaves none of the package's files" purge_leaves_nothing
fi
finish
