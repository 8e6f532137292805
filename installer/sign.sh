#!/bin/sh
# Signs one Windows file in place with Authenticode, SHA-256, for scripts/package.sh and the installer's
# build (which runs it on the installer and the uninstaller): sign.sh FILE. The PEM certificate (chain)
# is KAVELO_SIGN_CERT, the PEM key KAVELO_SIGN_KEY.
set -e
file="$1"
osslsigncode sign -certs "$KAVELO_SIGN_CERT" -key "$KAVELO_SIGN_KEY" -h sha256 -n KAVELO \
  -in "$file" -out "$file.signed" >/dev/null
mv "$file.signed" "$file"
