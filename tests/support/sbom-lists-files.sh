#!/usr/bin/env bash
# Passes when the SPDX bill of materials lists every file under DIR, and no other, with its right SHA-256.
# Usage: tests/support/sbom-lists-files.sh SPDX DIR
set -euo pipefail
listed="$(jq -r '.files[] | (.checksums[] | select(.algorithm == "SHA256") | .checksumValue) + "  " + .fileName' "$1" | sort)"
actual="$(cd "$2" && find . -type f -print0 | xargs -0 sha256sum | sort)"
diff -u <(echo "$listed") <(echo "$actual")
