#!/usr/bin/env bash
# Signs Windows files in place with the chain's code-signing certificate (Authenticode, SHA-256), when
# ORDOVANT_SIGN_PKCS12 names its PKCS#12 file. The password is read from the file that
# ORDOVANT_SIGN_PASSWORD_FILE names (never from the command line or the environment, where other users
# of the machine could see it); ORDOVANT_SIGN_TIMESTAMP_URL names an RFC 3161 time-stamp server, so that
# the signatures stay valid after the certificate expires. Without ORDOVANT_SIGN_PKCS12 it signs nothing.
# Usage: scripts/windows/sign.sh FILE...   (.exe, .dll, .msi)
set -euo pipefail
if [ -z "${ORDOVANT_SIGN_PKCS12:-}" ]; then
    echo "Unsigned: ORDOVANT_SIGN_PKCS12 names no code-signing certificate"
    exit 0
fi
[ -r "$ORDOVANT_SIGN_PKCS12" ] || { echo "sign.sh: cannot read ORDOVANT_SIGN_PKCS12 ($ORDOVANT_SIGN_PKCS12)" >&2; exit 1; }
options=(-pkcs12 "$ORDOVANT_SIGN_PKCS12" -h sha256 -n ordovant)
if [ -n "${ORDOVANT_SIGN_PASSWORD_FILE:-}" ]; then
    [ -r "$ORDOVANT_SIGN_PASSWORD_FILE" ] \
        || { echo "sign.sh: cannot read ORDOVANT_SIGN_PASSWORD_FILE ($ORDOVANT_SIGN_PASSWORD_FILE)" >&2; exit 1; }
    options+=(-readpass "$ORDOVANT_SIGN_PASSWORD_FILE")
fi
[ -n "${ORDOVANT_SIGN_TIMESTAMP_URL:-}" ] && options+=(-ts "$ORDOVANT_SIGN_TIMESTAMP_URL")

for file in "$@"; do
    # Into a new file, then over the old one: a failed signing leaves the file as it was.
    rm -f "$file.signed"
    if ! osslsigncode sign "${options[@]}" -in "$file" -out "$file.signed" >"$file.sign.log" 2>&1; then
        echo "sign.sh: signing $file failed:" >&2
        cat "$file.sign.log" >&2
        rm -f "$file.signed" "$file.sign.log"
        exit 1
    fi
    rm -f "$file.sign.log"
    mv "$file.signed" "$file"
done
echo "Signed with $(basename "$ORDOVANT_SIGN_PKCS12") (files: $#)"
