#!/usr/bin/env bash
# Builds the Windows SDK (a small Qt 6.4.2 qtbase and one sqlite3.dll, cross-compiled with mingw-w64 from
# Debian's own sources) into a cache outside the checkout, once per machine. A second run with the same
# recipe takes seconds; a changed recipe (this script, the toolchain file) builds afresh, in a folder of its
# own, so that a run of another recipe (an older checkout) never removes it. A second run while one builds
# waits for it.
# Usage: scripts/windows-sdk.sh      prints the SDK directory as its last line
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
toolchain="$root/cmake/mingw-w64-x86_64.cmake"
recipe="$(cat "${BASH_SOURCE[0]}" "$toolchain" | sha256sum | cut -c1-16)"
sdk="${ORDOVANT_WINDOWS_SDK:-$HOME/.cache/ordovant/windows-sdk-6.4.2-$recipe}"

mkdir -p "$(dirname "$sdk")"
exec 8>"$sdk.lock"
flock 8
if [ -f "$sdk/.recipe" ] && [ "$(cat "$sdk/.recipe")" = "$recipe" ]; then
    echo "$sdk"
    exit 0
fi

"$root/scripts/install-missing.sh" g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools \
    dpkg-dev tcl ninja-build cmake qt6-base-dev qt6-base-dev-tools xz-utils ca-certificates

# apt-get source needs the source archive beside the binary one, from the same mirrors and suites.
if ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
        | $sudo tee /etc/apt/sources.list.d/ordovant-deb-src.sources >/dev/null
    flock "${TMPDIR:-/tmp}/ordovant-install-missing.lock" $sudo apt-get update -qq
fi

# What the bill of materials needs of the sources, kept in the SDK: the Debian versions of the sources
# and toolchain, and the attribution of each library of Qt's source that the build compiled or included
# (some, such as tinycbor or the hash functions, only through an #include, which the deps show).
record_sources() {
    local qt_src="$1" sqlite_src="$2" qt_build="$3" sources="$sdk/share/ordovant-sources"
    mkdir -p "$sources/attribution"
    {
        echo "qt6-base=$(dpkg-parsechangelog -l "$qt_src/debian/changelog" -S Version)"
        echo "sqlite3=$(dpkg-parsechangelog -l "$sqlite_src/debian/changelog" -S Version)"
        echo "gcc-mingw-w64=$(dpkg-query -W -f='${Version}' gcc-mingw-w64-x86-64-posix 2>/dev/null || echo unknown)"
        echo "mingw-w64=$(dpkg-query -W -f='${Version}' mingw-w64-x86-64-dev 2>/dev/null || echo unknown)"
    } > "$sources/versions"
    { ninja -C "$qt_build" -t commands; ninja -C "$qt_build" -t deps; } > "$qt_build/all-commands.txt"
    (cd "$qt_src" && find src -name qt_attribution.json) | sort | while read -r attribution; do
        if grep -qF "$qt_src/$(dirname "$attribution")/" "$qt_build/all-commands.txt"; then
            mkdir -p "$sources/attribution/$(dirname "$attribution")"
            cp "$qt_src/$attribution" "$sources/attribution/$attribution"
        fi
    done
}

work="$(mktemp -d "${TMPDIR:-/tmp}/ordovant-sdk.XXXXXX")"
trap 'rm -rf "$work"' EXIT
rm -rf "$sdk"
mkdir -p "$sdk/bin" "$sdk/include" "$sdk/lib"
export ORDOVANT_WINDOWS_SDK="$sdk"

echo "== SQLite: one sqlite3.dll for Qt's driver and the program"
(cd "$work" && apt-get source -qq sqlite3 >/dev/null 2>&1)
sqlite_src="$(find "$work" -maxdepth 1 -type d -name 'sqlite3-*' | head -1)"
mkdir -p "$work/sqlite-build"
(cd "$work/sqlite-build" && "$sqlite_src/configure" --quiet >/dev/null && make -s sqlite3.c >/dev/null)
# The options Debian builds its libsqlite3 with that Qt's driver or the program can notice.
x86_64-w64-mingw32-gcc-posix -O2 -shared -o "$sdk/bin/sqlite3.dll" "$work/sqlite-build/sqlite3.c" \
    -DSQLITE_THREADSAFE=1 -DSQLITE_ENABLE_COLUMN_METADATA=1 -DSQLITE_ENABLE_UNLOCK_NOTIFY=1 \
    -DSQLITE_ENABLE_FTS3=1 -DSQLITE_ENABLE_FTS5=1 -DSQLITE_ENABLE_RTREE=1 -DSQLITE_SECURE_DELETE=1 \
    -DSQLITE_MAX_SCHEMA_RETRY=25 -DSQLITE_ENABLE_DBSTAT_VTAB=1 \
    -Wl,--out-implib,"$sdk/lib/libsqlite3.dll.a"
cp "$work/sqlite-build/sqlite3.h" "$work/sqlite-build/sqlite3ext.h" "$sdk/include/" 2>/dev/null \
    || cp "$work/sqlite-build/sqlite3.h" "$sqlite_src/src/sqlite3ext.h" "$sdk/include/"

echo "== Qt 6.4.2 qtbase for Windows (about 25 minutes on 2 cores)"
(cd "$work" && apt-get source -qq qt6-base >/dev/null 2>&1)
qt_src="$(find "$work" -maxdepth 1 -type d -name 'qt6-base-*' | head -1)"
mkdir -p "$work/qt-build"
cd "$work/qt-build"
"$qt_src/configure" -prefix "$sdk" -release -shared -xplatform win32-g++ -qt-host-path /usr \
    -nomake examples -nomake tests -nomake benchmarks \
    -no-opengl -no-dbus -no-icu -no-feature-network -no-feature-xml -no-feature-printsupport \
    -no-feature-concurrent -no-feature-tabletevent \
    -qt-zlib -qt-pcre -qt-libpng -no-libjpeg -qt-freetype -qt-harfbuzz \
    -sql-sqlite -system-sqlite -sql-odbc -no-sql-psql -no-sql-mysql -no-sql-ibase -no-sql-oci -no-sql-db2 \
    -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DSQLite3_INCLUDE_DIR="$sdk/include" -DSQLite3_LIBRARY="$sdk/lib/libsqlite3.dll.a" \
    > "$work/configure.log" 2>&1 || { tail -60 "$work/configure.log"; exit 1; }
cmake --build . --parallel "$(nproc)"
cmake --install . >/dev/null
record_sources "$qt_src" "$sqlite_src" "$work/qt-build"

# The mingw runtime the DLLs need, beside them.
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    cp "$(x86_64-w64-mingw32-g++-posix -print-file-name="$dll")" "$sdk/bin/"
done
echo "$recipe" > "$sdk/.recipe"
echo "$sdk"
