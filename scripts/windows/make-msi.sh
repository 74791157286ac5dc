#!/usr/bin/env bash
# Packs BUILD/dist/ordovant into BUILD/ordovant-<version>-x64.msi with wixl; prints the MSI's path.
# Usage: scripts/windows/make-msi.sh BUILD [VERSION OUTPUT]   (another version, for the upgrade test)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$(cd "$1" && pwd)"
version="${2:-$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")}"
output="${3:-$build/ordovant-$version-x64.msi}"

# wixl wants the files' paths relative to where it runs.
cd "$build"
(cd dist && find ordovant -type f | sort) \
    | sed 's|^|dist/|' \
    | wixl-heat --prefix dist/ordovant/ --var var.DistDir --directory-ref INSTALLDIR \
                --component-group ProgramFiles --win64 > program-files.wxs
wixl -a x64 -D Win64=yes -D Version="$version" -D DistDir=dist/ordovant -o "$output" \
    "$here/ordovant.wxs" program-files.wxs
# host.ini's component: 64-bit (256), never overwrite an existing key file (128), never removed (16).
msibuild "$output" -q "UPDATE \`Component\` SET \`Attributes\` = 400 WHERE \`Component\` = 'HostIni'"
# The rights of the two folders, by SID (SY SYSTEM, BA Administrators, BU Users, whatever Windows'
# language calls them), protected from what %ProgramData% passes on (there Users may add files). The
# host directory and host.ini: administrators change them, users read. The users' folder: Users may
# change, replace and delete what is there (the shared store is replaced by a rename), not its rights.
msibuild "$output" -q "CREATE TABLE \`MsiLockPermissionsEx\` (\`MsiLockPermissionsEx\` CHAR(72) NOT NULL, \
\`LockObject\` CHAR(72) NOT NULL, \`Table\` CHAR(32) NOT NULL, \`SDDLText\` LONGCHAR NOT NULL, \
\`Condition\` CHAR(255) PRIMARY KEY \`MsiLockPermissionsEx\`)"
lock() {
    msibuild "$output" -q "INSERT INTO \`MsiLockPermissionsEx\` (\`MsiLockPermissionsEx\`, \`LockObject\`, \
\`Table\`, \`SDDLText\`) VALUES ('$1', '$2', '$3', '$4')"
}
admins='(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)'
lock HostDirectoryRights HOSTDIR CreateFolder "D:PAI${admins}(A;OICI;0x1200a9;;;BU)"
lock DataDirectoryRights DATADIR CreateFolder "D:PAI${admins}(A;OICI;0x1301bf;;;BU)"
echo "$output"
