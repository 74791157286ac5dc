#!/usr/bin/env bash
# Checks what the Windows build delivers: the bill of materials lists every file of dist/ordovant with its
# hash; the programs hold no path of the building machine; and copies of every program, DLL and plugin
# and of the MSI, signed with a throw-away certificate authority's code-signing certificate through
# scripts/windows/sign.sh as a chain would with its own, verify against that authority, while a copy
# with one byte changed fails.
# Usage: scripts/windows/test-deliverables.sh BUILD
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$(cd "$1" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
root="$(cd "$here/../.." && pwd)"
failures=0

if ! "$root/tests/support/sbom-lists-files.sh" "$(ls "$build"/ordovant-*-x64.spdx.json)" "$build/dist/ordovant"; then
    echo "FAIL the bill of materials does not list every file of dist/ordovant with its SHA-256"
    failures=$((failures + 1))
fi
for program in ordovant.exe ordovant-db.exe; do
    if grep -qaF -e "$root" -e "$build" "$build/dist/ordovant/$program"; then
        echo "FAIL $program holds a path of the building machine"
        failures=$((failures + 1))
    fi
done

# The authority and a certificate for code signing, its key in a PKCS#12 file with a password.
cd "$work"
openssl req -x509 -newkey rsa:3072 -nodes -keyout ca.key -out ca.pem -days 2 -subj '/CN=ordovant test CA' \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign 2>/dev/null
openssl req -newkey rsa:3072 -nodes -keyout signer.key -out signer.csr -subj '/CN=ordovant test signer' 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signer.ext
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile signer.ext \
    -out signer.pem 2>/dev/null
printf 'throw-away\n' >password
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -passout file:password -out signer.p12

mkdir files
cp -r "$build/dist/ordovant" files/
cp "$build"/ordovant-*-x64.msi files/
mapfile -t signed < <(find files -type f \( -name '*.exe' -o -name '*.dll' -o -name '*.msi' \) | sort)
ORDOVANT_SIGN_PKCS12="$work/signer.p12" ORDOVANT_SIGN_PASSWORD_FILE="$work/password" "$here/sign.sh" "${signed[@]}"

verifies() { osslsigncode verify -CAfile "$work/ca.pem" -in "$1" >"$work/verify.log" 2>&1; }
for file in "${signed[@]}"; do
    verifies "$file" || { echo "FAIL verify: ${file#files/}"; cat "$work/verify.log"; failures=$((failures + 1)); }
done
for file in files/ordovant/ordovant.exe files/ordovant/Qt6Core.dll files/ordovant-*-x64.msi; do
    cp "$file" changed
    # One byte in the middle of the signed content.
    offset=$(($(stat -c %s changed) / 3))
    byte=$(od -An -tu1 -j "$offset" -N1 changed)
    # shellcheck disable=SC2059 # the format is the one byte
    printf "\\$(printf %03o $((byte ^ 255)))" | dd of=changed bs=1 seek="$offset" conv=notrunc 2>/dev/null
    if verifies changed; then echo "FAIL a changed byte still verifies: ${file#files/}"; failures=$((failures + 1)); fi
done
[ "$failures" -eq 0 ] || { echo "Deliverables test: $failures failed"; exit 1; }
echo "Deliverables: bill of materials complete, no build paths, ${#signed[@]} files signed and verified, changed copies refused"
