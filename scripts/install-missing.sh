#!/usr/bin/env bash
# Installs those of the given Debian packages that are not installed yet (through sudo when not root).
# Usage: scripts/install-missing.sh PACKAGE...
set -euo pipefail

missing=()
for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
((${#missing[@]})) || exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
# apt-get update does not wait for another one's lock: installs of the project run one at a time
# (CI builds the Windows SDK beside the Linux passes).
exec 9>"${TMPDIR:-/tmp}/ordovant-install-missing.lock"
flock 9
$sudo apt-get update -qq
# Another install may hold the lock (several set-ups at once): wait for it rather than fail.
DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
