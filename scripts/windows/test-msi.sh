#!/usr/bin/env bash
# Reads the rights the MSI gives the host directory and the users' folder from its own tables (Wine's
# installer does not apply them). Then tries the MSI under Wine as an administrator deploys it: silently
# installed, the program, its documents (their links leading only to each other), its autostart and the
# host directory with host.ini made from the sample are there; the installed program does a
# no-work start from the machine-wide host directory; neither installing again, a repair nor a newer MSI
# replaces an edited host.ini; a newer MSI replaces the program; a silent uninstall removes the program
# and its autostart and leaves the host directory alone.
# Usage: scripts/windows/test-msi.sh BUILD [--tables-only]   (inside the Wine set-up of
# scripts/windows/wine-env.sh; --tables-only: only the MSI's tables, no Wine)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$(cd "$1" && pwd)"
msi="$(ls "$build"/ordovant-*-x64.msi)"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
program_dir="${WINEPREFIX:-}/drive_c/Program Files/ordovant"
host_dir="${WINEPREFIX:-}/drive_c/ProgramData/ordovant"
data_dir="$host_dir/daten"
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
failures=0

check() {
    local what="$1"
    shift
    if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
msiexec() { wine msiexec "$@" /qn >/dev/null 2>&1; }
autostart() { wine reg query "$run_key" /v ordovant 2>/dev/null | tr -d '\r' | grep -F 'REG_SZ'; }
installed_products() { wine uninstaller --list 2>/dev/null | tr -d '\r' | grep -c '|||ordovant$' || true; }

installed() {
    local file
    for file in ordovant.exe ordovant-db.exe Qt6Core.dll Qt6Widgets.dll sqlite3.dll platforms/qwindows.dll \
                sqldrivers/qsqlite.dll sqldrivers/qsqlodbc.dll styles/qwindowsvistastyle.dll \
                doc/README.md doc/host-ini.md doc/servers.md doc/windows.md doc/host.ini.example; do
        [ -f "$program_dir/$file" ] || { echo "missing: $file"; return 1; }
    done
}
# The installed README and manuals link only to each other and the sample, each link to a heading there.
documents_link_only_installed_files() {
    python3 "$here/../../tests/support/doc-links-resolve.py" "$program_dir/doc"
}
autostart_quotes_the_full_path() {
    autostart | grep -qF '"C:\Program Files\ordovant\ordovant.exe"' || { autostart; return 1; }
}
host_directory_has_sample() {
    cmp -s "$host_dir/host.ini" "$build/dist/ordovant/doc/host.ini.example" \
        && cmp -s "$host_dir/host.ini.example" "$build/dist/ordovant/doc/host.ini.example"
}
edit_host_ini() { printf '[Warenabgabe]\r\n17=7\r\n' >"$host_dir/host.ini"; }
host_ini_edited() { grep -q '^17=7' "$host_dir/host.ini" || { cat "$host_dir/host.ini"; return 1; }; }
# The sample host.ini and an empty branch database: nothing to do, so the program ends by itself with
# exit 0 and writes no log. ORDOVANT_HOME is unset: the program finds the machine-wide host directory.
no_work_start() {
    wine "$program_dir/ordovant-db.exe" create 'C:\ProgramData\ordovant\filiale.db' >/dev/null 2>&1 || return 1
    local status=0
    env -u ORDOVANT_HOME timeout 120 wine "$program_dir/ordovant.exe" >/dev/null 2>&1 || status=$?
    if [ "$status" -ne 0 ] || [ -e "$data_dir/ordovant.log" ]; then
        echo "exit $status"
        cat "$data_dir/ordovant.log" 2>/dev/null
        return 1
    fi
}
one_product() { [ "$(installed_products)" = 1 ] || { wine uninstaller --list; return 1; }; }
program_gone() { [ ! -e "$program_dir/ordovant.exe" ] && ! autostart >/dev/null; }
host_directory_kept() { [ -f "$host_dir/host.ini" ] && [ -f "$host_dir/filiale.db" ]; }

# The rights of a folder the MSI makes, as SDDL; its rows name folders of the CreateFolder table.
table() { msiinfo export "$msi" "$1" | tr -d '\r' | tail -n +4; }
sddl_of() {
    table CreateFolder | cut -f1 | grep -qx "$1" || { echo "the MSI makes no folder $1"; return 1; }
    table MsiLockPermissionsEx | awk -F'\t' -v dir="$1" '$2 == dir && $3 == "CreateFolder" { print $4 }'
}
# Usage: folder_rights FOLDER ALLOWED   Every ACE of the folder's protected list gives SYSTEM or the
# Administrators anything, and Users at most the mask ALLOWED; Users have it all; nobody else is named.
folder_rights() {
    local sddl ace type sid mask users=0
    sddl="$(sddl_of "$1")" || return 1
    [[ "$sddl" == D:P* ]] || { echo "$1: not protected from what its parent passes on: $sddl"; return 1; }
    while read -r ace; do
        IFS=';' read -r type _ mask _ _ sid <<<"$ace"
        [ "$type" = A ] || continue
        case "$sid" in
        SY | BA) ;;
        BU) [[ "$mask" == 0x* ]] || { echo "$1: Users' rights are not written as a mask: $sddl"; return 1; }
            [ $((mask & ~$2)) -eq 0 ] || { echo "$1: Users may do more than $2: $sddl"; return 1; }
            [ $((mask & $2)) -eq $(($2)) ] || { echo "$1: Users may do less than $2: $sddl"; return 1; }
            users=1 ;;
        *) echo "$1: $sid is named: $sddl"; return 1 ;;
        esac
    done < <(grep -o '([^)]*)' <<<"$sddl" | tr -d '()')
    [ "$users" = 1 ] || { echo "$1: Users are not named: $sddl"; return 1; }
}
no_grant_to_users() { ! table CustomAction | grep -F '/grant'; }
# The Event Log's source for reports that cannot reach the log.
event_source() {
    table Registry | tr -d '\r' | awk -F '\t' '$3 ~ /EventLog\\Application\\ordovant/ { print $4 "=" $5 }' | sort \
        | tr '\n' ' ' | grep -qxF 'EventMessageFile=[System64Folder]EventCreate.exe TypesSupported=#7 '
}
# Read and execute; Modify (read, write, execute, delete), not the rights or the owner.
read_only=0x1200a9
modify=0x1301bf
check "the MSI's host directory lets Users read, only administrators change it" folder_rights HOSTDIR $read_only
check "the MSI's users' folder lets Users change and replace its files" folder_rights DATADIR $modify
check "the MSI grants Users nothing by a command" no_grant_to_users
check "the MSI registers the Event Log source ordovant" event_source
[ "${2:-}" != --tables-only ] || { [ "$failures" -eq 0 ]; exit; }

msiexec /x "$msi" || true
rm -rf "$host_dir"

check "a silent install succeeds" msiexec /i "$msi"
check "the program, everything it loads and its documents are installed" installed
check "every link of the installed documents leads to an installed file" documents_link_only_installed_files
check "the autostart for every user names the program's quoted full path" autostart_quotes_the_full_path
check "the host directory holds the sample host.ini" host_directory_has_sample
check "the installed program ends a no-work start quietly" no_work_start
edit_host_ini
check "installing the same MSI again succeeds" msiexec /i "$msi"
check "installing again keeps the edited host.ini" host_ini_edited
# A repair that puts back every file, whatever its date or version (as msiexec /fa; Wine's /f knows no
# package path): it restores a deleted program and still keeps host.ini.
rm -f "$program_dir/ordovant-db.exe"
check "a repair of every file succeeds" msiexec /i "$msi" REINSTALL=ALL REINSTALLMODE=amus
check "the repair put back a deleted program" test -f "$program_dir/ordovant-db.exe"
check "the repair keeps the edited host.ini" host_ini_edited

# A newer build with the same upgrade code replaces this one instead of being installed beside it.
newer="$build/ordovant-upgrade-test.msi"
"$here/make-msi.sh" "$build" "$version.1" "$newer" >/dev/null
check "a newer MSI installs silently" msiexec /i "$newer"
check "the newer MSI replaced the older: one product" one_product
check "the newer MSI keeps the edited host.ini" host_ini_edited
check "a silent uninstall succeeds" msiexec /x "$newer"
rm -f "$newer"
check "the uninstall removed the program and its autostart" program_gone
check "the uninstall left the host directory and what is in it" host_directory_kept

[ "$failures" -eq 0 ] || { echo "MSI test: $failures failed"; exit 1; }
echo "MSI test: all passed"
