#!/usr/bin/env bash
# Signs Windows files (.exe, .dll, .msi) in place with osslsigncode when the environment names a
# PKCS#12 certificate, and verifies each signature; does nothing otherwise.
#   LAMP_SIGN_PKCS12          the certificate with its private key
#   LAMP_SIGN_PASSWORD        its password (read through a pipe, never on a command line)
#   LAMP_SIGN_TIMESTAMP_URL   an RFC 3161 timestamp server (optional: without it a signature
#                             ends with the certificate's validity)
#   LAMP_SIGN_CAFILE          the roots the signatures are verified against (default: the
#                             certificates in the PKCS#12 file and the system's bundle)
# Usage: authenticode-sign.sh DESCRIPTION FILE...
set -euo pipefail
[ -n "${LAMP_SIGN_PKCS12:-}" ] || exit 0
description=$1
shift
fail() { echo "authenticode-sign: $*" >&2; exit 1; }
command -v osslsigncode >/dev/null || fail "osslsigncode is not installed (Debian package osslsigncode)"
[ -f "$LAMP_SIGN_PKCS12" ] || fail "LAMP_SIGN_PKCS12 names no file: $LAMP_SIGN_PKCS12"
[ -n "${LAMP_SIGN_PASSWORD+set}" ] || fail "LAMP_SIGN_PASSWORD is not set"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cafile=${LAMP_SIGN_CAFILE:-}
if [ -z "$cafile" ]; then
    cafile=$work/roots.pem
    printf '%s' "$LAMP_SIGN_PASSWORD" |
        openssl pkcs12 -in "$LAMP_SIGN_PKCS12" -nokeys -passin stdin -out "$cafile" 2>"$work/openssl.err" ||
        fail "cannot read $LAMP_SIGN_PKCS12: $(cat "$work/openssl.err")"
    [ -r /etc/ssl/certs/ca-certificates.crt ] && cat /etc/ssl/certs/ca-certificates.crt >>"$cafile"
fi
timestamp=()
[ -n "${LAMP_SIGN_TIMESTAMP_URL:-}" ] && timestamp=(-ts "$LAMP_SIGN_TIMESTAMP_URL")

for file in "$@"; do
    rm -f "$work/signed"
    osslsigncode sign -pkcs12 "$LAMP_SIGN_PKCS12" -readpass <(printf '%s' "$LAMP_SIGN_PASSWORD") \
        -h sha256 -n "$description" "${timestamp[@]}" -in "$file" -out "$work/signed" >"$work/sign.log" 2>&1 ||
        fail "signing $file failed: $(cat "$work/sign.log")"
    osslsigncode verify -in "$work/signed" -CAfile "$cafile" ${timestamp:+-TSA-CAfile "$cafile"} \
        >"$work/verify.log" 2>&1 || fail "the signature of $file does not verify: $(cat "$work/verify.log")"
    cat "$work/signed" >"$file"
    echo "signed and verified: $file"
done
