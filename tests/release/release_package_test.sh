#!/usr/bin/env bash
# The release workflow's package job as it runs here: release_package_test.sh BUILD WORK REAL_MODULE
#   BUILD        the windows-preset build, whose stand-in module stands for Archicad 28
#   WORK         this test's folder
#   REAL_MODULE  the real-kit build's KAVELO.apx for Archicad 27 (tests/devkit)
# scripts/release-package.sh, as the workflow runs it, refuses these modules (neither is made for
# distribution); with --test-build it packs them, signed with a throwaway self-signed certificate, and runs
# the installer's tests against the package.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(cd "$1" && pwd)
mkdir -p "$2"
work=$(cd "$2" && pwd)
real="$3"
version=$(sed -n 's/^project(KAVELO VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
failed=0
check() {  # check DESCRIPTION COMMAND...
  local what="$1"
  shift
  if "$@"; then echo "ok: $what"; else failed=$((failed + 1)); echo "FAILED: $what" >&2; fi
}

find "$work" -mindepth 1 -maxdepth 1 -exec rm -rf {} +
mkdir -p "$work/modules/KAVELO-archicad-27" "$work/modules/KAVELO-archicad-28"
cp "$real" "$work/modules/KAVELO-archicad-27/KAVELO.apx"
cp "$build/bin/KAVELO.apx" "$work/modules/KAVELO-archicad-28/KAVELO.apx"
# A throwaway signer and a time-stamp authority on loopback; the workflow has the repository's secrets.
source tests/installer/support.sh
make_signing_pki "$work/pki"
start_tsa
trap 'kill "$tsa_pid" 2>/dev/null || true' EXIT
export KAVELO_SIGN_CERT_PEM KAVELO_SIGN_KEY_PEM KAVELO_SIGN_TIMESTAMP_URL="$tsa_url"
KAVELO_SIGN_CERT_PEM=$(cat "$KAVELO_SIGN_CERT")
KAVELO_SIGN_KEY_PEM=$(cat "$work/pki/sign.key")

status=0
scripts/release-package.sh --sign --no-build "$work/modules" "$work/refused" 2>"$work/refused.txt" || status=$?
check "the package job refuses modules not made for distribution" test "$status" = 2
check "naming the real-kit build's module and why" \
  grep -qF "KAVELO-archicad-27/KAVELO.apx: does not import VCRUNTIME140.dll" "$work/refused.txt"
check "and packs nothing" test ! -e "$work/refused/package"

scripts/release-package.sh --sign --test-build --no-build "$work/modules" "$work/out"
package="$work/out/package"
check "the installer is named as a test build" test -s "$package/KAVELO-$version-TEST-Setup.exe"
check "the zip is named as a test build" test -s "$package/KAVELO-$version-TEST.zip"
unpacked="$work/out/unpacked/KAVELO-$version-TEST"
signed() { installer/sign.sh --verify "$1" 2>/dev/null; }
for n in 27 28; do
  check "the zip holds the module for Archicad $n" test -f "$unpacked/Archicad $n/KAVELO.apx"
  check "the packed module for Archicad $n is signed" signed "$unpacked/Archicad $n/KAVELO.apx"
done
check "the installer is signed" signed "$package/KAVELO-$version-TEST-Setup.exe"
check "the packed Archicad 27 module is the real-kit build's" grep -q "KAVELO $version for Archicad 27; .*gsroot.dll" \
  <(cmake -D MODULE="$unpacked/Archicad 27/KAVELO.apx" -D AC_VERSION=27 -D TOLERATE=private,runtime \
      -P tools/module-check/CheckModule.cmake 2>&1)
[ "$failed" = 0 ]
