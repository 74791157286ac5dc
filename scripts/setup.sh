#!/usr/bin/env bash
# Installs the Debian packages ordovant needs when any is missing, then configures and builds.
# Usage: scripts/setup.sh BUILD_DIR [extra cmake arguments...]
set -euo pipefail

packages=(cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql
          libpq-dev libsqlite3-dev libgl-dev fonts-liberation xvfb xauth xdotool postgresql postgresql-common
          libqt6sql6-odbc unixodbc unixodbc-dev odbc-postgresql odbc-mariadb mariadb-server pgbouncer
          at-spi2-core libatspi2.0-dev dbus-bin strace acl dosfstools)

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/install-missing.sh" "${packages[@]}"

build_dir="$1"
shift
cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
