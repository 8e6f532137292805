#!/usr/bin/env bash
# The release workflow's package job (.github/workflows/release.yml), which runs here as well:
#   release-package.sh [--sign] [--test-build] [--no-build] MODULES OUT
# MODULES holds the modules as the workflow's build jobs upload them, KAVELO-archicad-<N>/KAVELO.apx per
# Archicad version N. They are packed by scripts/package.sh into OUT/package, signed with --sign: the PEM
# certificate (chain) and key come as text in KAVELO_SIGN_CERT_PEM and KAVELO_SIGN_KEY_PEM (the
# repository's secrets), the time stamps from KAVELO_SIGN_TIMESTAMP_URL. The installer's helper program is
# built with MinGW-w64 first, unless --no-build takes it from the Windows build that is there. Then the
# installer's tests that need no simulated host run against the package under Wine, in OUT/installer-tests: refusals, uninstall and folders beyond ASCII, with the package's
# Archicad 28 module. --test-build passes on to package.sh, for modules not made for distribution (the
# tests here, with the real-kit build's module).
set -euo pipefail
cd "$(dirname "$0")/.."
usage="usage: release-package.sh [--sign] [--test-build] [--no-build] MODULES OUT"
package_options=()
while [ $# -gt 2 ]; do
  case "$1" in
    --sign | --test-build | --no-build) package_options+=("$1") ;;
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
if [[ " ${package_options[*]} " == *" --sign "* ]]; then
  secrets="$out/signing"
  rm -rf "$secrets"
  mkdir -m 700 "$secrets"
  trap 'rm -rf "$secrets"' EXIT
  printf '%s\n' "${KAVELO_SIGN_CERT_PEM:?--sign needs KAVELO_SIGN_CERT_PEM}" >"$secrets/cert.pem"
  printf '%s\n' "${KAVELO_SIGN_KEY_PEM:?--sign needs KAVELO_SIGN_KEY_PEM}" >"$secrets/key.pem"
  export KAVELO_SIGN_CERT="$secrets/cert.pem" KAVELO_SIGN_KEY="$secrets/key.pem"
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
for case in package refusals uninstall beyond-ascii; do
  KAVELO_INSTALLER_SETUP="$setup" KAVELO_INSTALLER_MODULE="$module" \
    bash tests/installer/installer_test.sh "$out" "$out/installer-tests" "$case"
done
echo "Released in $out/package: $(basename "$setup"), $(basename "$zip")"
