#!/bin/sh
# Signs one Windows file in place with Authenticode, SHA-256, time-stamped (RFC 3161) so that the
# signature outlives the certificate, and verifies what it made; for scripts/package.sh and the installer's
# build (which runs it on the installer and the uninstaller):
#   sign.sh FILE            signs FILE, then verifies it; exits non-zero, leaving FILE as it was, on failure
#   sign.sh --verify FILE   verifies FILE's signature and time stamp only
# KAVELO_SIGN_CERT         the PEM certificate (chain)
# KAVELO_SIGN_KEY          the key: a PEM file, or a PKCS#11 URI ("pkcs11:token=...;object=...") of a key
#                          held in a token, whose module KAVELO_SIGN_PKCS11_MODULE names and whose PIN is
#                          KAVELO_SIGN_PIN (read from the environment, never put on a command line)
# KAVELO_SIGN_TIMESTAMP_URL the RFC 3161 time-stamp authority
# KAVELO_SIGN_CA_FILE, KAVELO_SIGN_TSA_CA_FILE
#                          the roots the signature and the time stamp must chain to (the system's by default)
set -eu
system_roots=/etc/ssl/certs/ca-certificates.crt

verify() {
  report=$(osslsigncode verify -in "$1" -CAfile "${KAVELO_SIGN_CA_FILE:-$system_roots}" \
    -TSA-CAfile "${KAVELO_SIGN_TSA_CA_FILE:-${KAVELO_SIGN_CA_FILE:-$system_roots}}" 2>&1) ||
    { printf '%s\n' "$report" >&2; echo "sign.sh: the signature of $1 does not verify" >&2; return 1; }
  # osslsigncode accepts a signature without a time stamp; this one must have one.
  printf '%s\n' "$report" | grep -q '^Timestamp Server Signature verification: ok' ||
    { echo "sign.sh: $1 has no verified time stamp" >&2; return 1; }
}

if [ "${1:-}" = "--verify" ]; then
  verify "$2"
  exit
fi
file="$1"
: "${KAVELO_SIGN_CERT:?sign.sh: KAVELO_SIGN_CERT names no certificate}"
: "${KAVELO_SIGN_KEY:?sign.sh: KAVELO_SIGN_KEY names no key}"
: "${KAVELO_SIGN_TIMESTAMP_URL:?sign.sh: KAVELO_SIGN_TIMESTAMP_URL names no time-stamp authority}"
rm -f "$file.signed"
case "$KAVELO_SIGN_KEY" in
  pkcs11:*)
    : "${KAVELO_SIGN_PKCS11_MODULE:?sign.sh: a PKCS#11 key needs KAVELO_SIGN_PKCS11_MODULE}"
    printf '%s' "${KAVELO_SIGN_PIN:-}" |
      osslsigncode sign -pkcs11module "$KAVELO_SIGN_PKCS11_MODULE" -key "$KAVELO_SIGN_KEY" -readpass /dev/stdin \
        -certs "$KAVELO_SIGN_CERT" -h sha256 -n KAVELO -ts "$KAVELO_SIGN_TIMESTAMP_URL" \
        -in "$file" -out "$file.signed" >/dev/null
    ;;
  *)
    osslsigncode sign -certs "$KAVELO_SIGN_CERT" -key "$KAVELO_SIGN_KEY" -h sha256 -n KAVELO \
      -ts "$KAVELO_SIGN_TIMESTAMP_URL" -in "$file" -out "$file.signed" >/dev/null
    ;;
esac
verify "$file.signed" || { rm -f "$file.signed"; exit 1; }
mv "$file.signed" "$file"
