#!/usr/bin/env bash
# Builds a release of ordovant in build-package-tree/ and makes the Debian package
# build-package/ordovant_<version>_<arch>.deb and its bill of materials ordovant_<version>_<arch>.spdx.json,
# then checks the package with lintian (errors fail). Two builds of one commit give the same bytes,
# wherever the checkout lies: SOURCE_DATE_EPOCH (the commit's time unless given) stands for every time.
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
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}"
# No path of this machine in the binaries: the build tree's own first, as it may lie in the checkout.
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
cxxflags="$cxxflags -ffile-prefix-map=$root=. -ffile-prefix-map=$tree=."
ldflags="$(dpkg-buildflags --get LDFLAGS)"

# rcc writes the time into the resources it compiles: made at another commit's time, they are made again.
if [ "$(cat "$tree/source-date-epoch" 2>/dev/null)" != "$SOURCE_DATE_EPOCH" ]; then
    mkdir -p "$tree"
    find "$tree" -name 'qrc_*.cpp' -delete
    echo "$SOURCE_DATE_EPOCH" >"$tree/source-date-epoch"
fi

# The package installs into /usr and /etc, never into the build tree.
cmake -S "$root" -B "$tree" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_SYSCONFDIR=/etc \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$tree" -j"$(nproc)"

rm -rf "$out"
cpack --config "$tree/CPackConfig.cmake" -B "$out"
rm -rf "$out/_CPack_Packages"
deb="$(ls "$out"/ordovant_*.deb)"

python3 "$root/scripts/sbom.py" deb "$deb" "${deb%.deb}.spdx.json"

lintian --fail-on error "$deb"
echo "$deb"
