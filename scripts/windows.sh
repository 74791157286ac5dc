#!/usr/bin/env bash
# The Windows build: cross-compiles ordovant with the Windows SDK (built first when missing), runs every
# test under Wine on a virtual display, signs the programs, DLLs and plugins and the MSI when a
# certificate is given (see scripts/windows/sign.sh), packs the MSI, tries it under Wine, checks the
# deliverables and takes screenshots. Leaves in build-windows/: dist/ordovant/ (the program with everything
# it needs), ordovant-<version>-x64.msi, its bill of materials ordovant-<version>-x64.spdx.json,
# notice.png and options.png.
# Usage: scripts/windows.sh [--no-tests]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-windows"
run_tests=1
[ "${1:-}" = "--no-tests" ] && run_tests=0

# The SDK build shows its progress; its last line names the SDK. (Not through tee /dev/stderr: where
# standard error is a file, opening it again truncates the log written so far.)
mkdir -p "$build"
"$root/scripts/windows-sdk.sh" | tee "$build/windows-sdk.log"
sdk="$(tail -n 1 "$build/windows-sdk.log")"
"$root/scripts/install-missing.sh" wine wine64 wixl msitools osslsigncode jq xvfb xauth fonts-liberation ninja-build cmake xdotool x11-utils \
    postgresql postgresql-common mariadb-server unixodbc odbc-postgresql odbc-mariadb
export ORDOVANT_WINDOWS_SDK="$sdk"

echo "== Building for Windows"
# shellcheck source=scripts/windows/wine-env.sh
source "$root/scripts/windows/wine-env.sh"
wine_environment "$build" "$sdk"
# The same bytes from the same commit: the commit's time for rcc, no path of this machine.
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}"
# rcc writes the time into the resources it compiles: made at another commit's time, they are made again.
if [ "$(cat "$build/source-date-epoch" 2>/dev/null)" != "$SOURCE_DATE_EPOCH" ]; then
    find "$build" -name 'qrc_*.cpp' -delete
    echo "$SOURCE_DATE_EPOCH" >"$build/source-date-epoch"
fi
# Usage: build_windows SOURCE BUILD [TARGET...]
build_windows() {
    local source="$1" into="$2"
    shift 2
    cmake -S "$source" -B "$into" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_CXX_FLAGS="-ffile-prefix-map=$source=. -ffile-prefix-map=$into=." \
        -DCMAKE_TOOLCHAIN_FILE="$sdk/lib/cmake/Qt6/qt.toolchain.cmake" \
        -DQT_CHAINLOAD_TOOLCHAIN_FILE="$source/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_CROSSCOMPILING_EMULATOR="$source/scripts/windows/wine-run.sh" \
        -DCMAKE_INSTALL_BINDIR=. -DORDOVANT_BENCH=ON >/dev/null
    cmake --build "$into" --parallel "$(nproc)" ${1:+--target "$@"}
}
build_windows "$root" "$build"
rm -rf "$build/dist"
cmake --install "$build" --prefix "$build/dist/ordovant" >/dev/null

start_wine "$build"
trap stop_wine EXIT

if [ "$run_tests" = 1 ]; then
    echo "== Tests under Wine"
    # One at a time: Wine starts each program slowly, and tests that time a started program out
    # must not wait behind another test on a busy machine. The ODBC routes of the server cases reach
    # a throw-away PostgreSQL and MariaDB through Wine's odbc32 and the host's unixODBC.
    pg_virtualenv -t "$root/tests/support/with-postgresql.sh" "$root/tests/support/with-mariadb.sh" \
        "$root/scripts/windows/with-odbc-user-sources.sh" ctest --test-dir "$build" --output-on-failure
fi

echo "== The same bytes from a second build elsewhere"
second="$(mktemp -d "${TMPDIR:-/tmp}/ordovant-windows-again.XXXXXX")"
git -C "$root" ls-files -z | (cd "$root" && xargs -0 cp --parents -t "$second")
build_windows "$second" "$second/build" ordovant ordovant-db >/dev/null
for program in ordovant.exe ordovant-db.exe; do
    cmp "$build/$program" "$second/build/$program" || { echo "$program differs between two builds"; exit 1; }
done
rm -rf "$second"
echo "ordovant.exe and ordovant-db.exe: the same bytes from two builds in two folders"

echo "== Signing, MSI and bill of materials"
find "$build/dist/ordovant" -type f \( -name '*.exe' -o -name '*.dll' \) -print0 | sort -z \
    | xargs -0 "$root/scripts/windows/sign.sh"
msi="$("$root/scripts/windows/make-msi.sh" "$build" | tail -n 1)"
[ -z "${ORDOVANT_SIGN_PKCS12:-}" ] || "$root/scripts/windows/sign.sh" "$msi"
# The files as they ship, signed.
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
python3 "$root/scripts/sbom.py" windows "$build/dist/ordovant" "$sdk" "$version" "${msi%.msi}.spdx.json"
"$root/scripts/windows/test-msi.sh" "$build"
"$root/scripts/windows/test-deliverables.sh" "$build"

echo "== Screenshots"
"$root/scripts/windows/screenshots.sh" "$build"
echo "Windows build: $build/dist/ordovant, $msi, ${msi%.msi}.spdx.json, $build/notice.png, $build/options.png"
