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
echo "$output"
