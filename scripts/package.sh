#!/usr/bin/env bash
# Builds a release of ordovant in build-package-tree/ and makes the Debian package
# build-package/ordovant_<version>_<arch>.deb, then checks it with lintian (errors fail).
# Usage: scripts/package.sh
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
tree="$root/build-package-tree"
out="$root/build-package"

# What building needs, without the test and demo tools of scripts/setup.sh. dpkg-shlibdeps and
# dpkg-buildflags come with dpkg-dev; CPack needs file to find the binaries.
packages=(cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools libsqlite3-dev libgl-dev
          dpkg-dev file lintian)
"$root/scripts/install-missing.sh" "${packages[@]}"

# Debian's own compiler and linker flags, hardening included, as for a package of the archive.
cd "$root"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags="$(dpkg-buildflags --get LDFLAGS)"

# The package installs into /usr and /etc, never into the build tree.
cmake -S "$root" -B "$tree" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_SYSCONFDIR=/etc \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$tree" -j"$(nproc)"

rm -rf "$out"
cpack --config "$tree/CPackConfig.cmake" -B "$out"
rm -rf "$out/_CPack_Packages"
deb="$(ls "$out"/ordovant_*.deb)"

lintian --fail-on error "$deb"
echo "$deb"
