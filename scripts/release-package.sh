#!/usr/bin/env bash
# The release workflow's package job (.github/workflows/release.yml), which runs here as well:
#   release-package.sh [--test-build] [--no-installer-tests] MODULES OUT
# MODULES holds the modules as the workflow's build jobs upload them, KAVELO-archicad-<N>/KAVELO.apx per
# Archicad version N. They are packed by scripts/package.sh into OUT/package, signed when the signing
# secrets are given (the repository's secrets in the workflow), all of them:
#   KAVELO_SIGN_PKCS11_MODULE   the PKCS#11 module of the token or signing service that holds the key
#   KAVELO_SIGN_KEY             the key's PKCS#11 URI ("pkcs11:token=...;object=...;type=private")
#   KAVELO_SIGN_PIN             the token's PIN, if it has one
#   KAVELO_SIGN_CERT_PEM        the code-signing certificate and its chain, as PEM text
#   KAVELO_SIGN_TIMESTAMP_URL   the RFC 3161 time-stamp authority
#   KAVELO_SIGN_CA_PEM, KAVELO_SIGN_TSA_CA_PEM
#                               the roots, as PEM text, that the signatures and the time stamps must
#                               verify against
# Publicly trusted code-signing keys live in hardware, so the key is reached only through PKCS#11. Without
# any of them the package is made unsigned and named so (KAVELO-<version>-UNSIGNED-*); with some but not
# all, nothing is packed and the missing ones are named (exit code 2). The installer's helper program comes
# from the Windows build, build/windows, which the caller builds first (the workflow does: scripts/build.sh
# release kavelo-rescomp, then scripts/build.sh windows kavelo-setup-helper). Then the installer's tests
# that need no simulated host run against the package under Wine, in OUT/installer-tests: refusals,
# uninstall and folders beyond ASCII, with the package's Archicad 28 module (--no-installer-tests leaves
# them out: the release's own tests run them once, not per case).
# --test-build passes on to package.sh, for modules not made for distribution (the tests here, with the
# real-kit build's module).
set -euo pipefail
cd "$(dirname "$0")/.."
usage="usage: release-package.sh [--test-build] [--no-installer-tests] MODULES OUT"
package_options=()
installer_tests=1
while [ $# -gt 2 ]; do
  case "$1" in
    --test-build) package_options+=("$1") ;;
    --no-installer-tests) installer_tests=0 ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
  shift
done
[ $# = 2 ] && [ -d "$1" ] || { echo "$usage" >&2; exit 2; }
modules=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)

for folder in "$modules"/KAVELO-archicad-*; do
  [ -f "$folder/KAVELO.apx" ] || continue
  package_options+=(--module "${folder##*-}=$folder/KAVELO.apx")
done
secrets=(KAVELO_SIGN_PKCS11_MODULE KAVELO_SIGN_KEY KAVELO_SIGN_CERT_PEM KAVELO_SIGN_TIMESTAMP_URL KAVELO_SIGN_CA_PEM
  KAVELO_SIGN_TSA_CA_PEM)
given=()
missing=()
for secret in "${secrets[@]}"; do
  if [ -n "${!secret:-}" ]; then given+=("$secret"); else missing+=("$secret"); fi
done
if [ "${#given[@]}" = 0 ]; then
  package_options+=(--unsigned)
elif [ "${#missing[@]}" != 0 ]; then
  echo "release-package.sh: signing needs ${missing[*]} as well as ${given[*]}; nothing packed" >&2
  exit 2
else
  [[ "$KAVELO_SIGN_KEY" == pkcs11:* ]] ||
    { echo "release-package.sh: KAVELO_SIGN_KEY is a PKCS#11 URI (pkcs11:...), not a key; nothing packed" >&2; exit 2; }
  files="$out/signing"
  rm -rf "$files"
  mkdir -m 700 "$files"
  trap 'rm -rf "$files"' EXIT
  printf '%s\n' "$KAVELO_SIGN_CERT_PEM" >"$files/cert.pem"
  printf '%s\n' "$KAVELO_SIGN_CA_PEM" >"$files/ca.pem"
  printf '%s\n' "$KAVELO_SIGN_TSA_CA_PEM" >"$files/tsa-ca.pem"
  export KAVELO_SIGN_CERT="$files/cert.pem" KAVELO_SIGN_CA_FILE="$files/ca.pem" KAVELO_SIGN_TSA_CA_FILE="$files/tsa-ca.pem"
  package_options+=(--sign)
fi
rm -rf "$out/package"
scripts/package.sh --out "$out/package" "${package_options[@]}"

# The installer's tests with the package's installer and its Archicad 28 module, as packed.
setup=$(find "$out/package" -maxdepth 1 -name 'KAVELO-*-Setup.exe')
zip=$(find "$out/package" -maxdepth 1 -name 'KAVELO-*.zip')
rm -rf "$out/unpacked"
mkdir -p "$out/unpacked"
(cd "$out/unpacked" && cmake -E tar xf "$zip")
module=$(find "$out/unpacked" -path '*/Archicad 28/KAVELO.apx')
[ -n "$module" ] || { echo "release-package.sh: the package has no module for Archicad 28, which the installer's tests install" >&2; exit 1; }
cases=(package refusals uninstall beyond-ascii)
[ "$installer_tests" = 1 ] || cases=()
for case in "${cases[@]}"; do
  KAVELO_INSTALLER_SETUP="$setup" KAVELO_INSTALLER_MODULE="$module" \
    bash tests/installer/installer_test.sh "$out" "$out/installer-tests" "$case"
done
if [[ " ${package_options[*]} " == *" --sign "* ]]; then
  echo "Released in $out/package, signed through PKCS#11 and verified: $(basename "$setup"), $(basename "$zip")"
else
  echo "Released in $out/package UNSIGNED (no signing secrets given): $(basename "$setup"), $(basename "$zip")"
fi
