#!/usr/bin/env bash
# The release workflow's package job as a maintainer runs it here: release_package_test.sh BUILD WORK REAL_MODULE
#   BUILD        the windows-preset build, whose stand-in module stands for Archicad 28
#   WORK         this test's folder
#   REAL_MODULE  the real-kit build's KAVELO.apx for Archicad 27 (tests/devkit)
# scripts/release-package.sh, as the workflow runs it, refuses these modules (neither is made for
# distribution); with --test-build it packs them: without signing secrets unsigned and named so, with only
# some of the secrets nothing, and with all of them signed through PKCS#11 by a key in a software token
# (softhsm2), time-stamped by a loopback authority and verified against the CA files given as secrets;
# then the installer's tests run against that package.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(cd "$1" && pwd)
mkdir -p "$2"
work=$(cd "$2" && pwd)
real="$3"
version=$(sed -n 's/^project(KAVELO VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
source tests/release/checks.sh

find "$work" -mindepth 1 -maxdepth 1 -exec rm -rf {} +
mkdir -p "$work/modules/KAVELO-archicad-27" "$work/modules/KAVELO-archicad-28"
cp "$real" "$work/modules/KAVELO-archicad-27/KAVELO.apx"
cp "$build/bin/KAVELO.apx" "$work/modules/KAVELO-archicad-28/KAVELO.apx"
# A throwaway signer, its key in a software token, and a time-stamp authority on loopback; the workflow
# has the repository's secrets.
source tests/installer/support.sh
make_signing_pki "$work/pki"
unset KAVELO_SIGN_CERT KAVELO_SIGN_CA_FILE KAVELO_SIGN_TSA_CA_FILE
export SOFTHSM2_CONF="$pki/softhsm2.conf"
printf 'directories.tokendir = %s\nobjectstore.backend = file\nlog.level = ERROR\n' "$pki/tokens" >"$SOFTHSM2_CONF"
softhsm2-util --init-token --free --label kavelo-release --pin 1618 --so-pin 3141 >/dev/null
openssl pkcs8 -topk8 -nocrypt -in "$pki/sign.key" -out "$pki/sign.p8"
softhsm2-util --import "$pki/sign.p8" --token kavelo-release --label signer --id 01 --pin 1618 >/dev/null
rm "$pki/sign.key" "$pki/sign.p8"
start_tsa
trap 'kill "$tsa_pid" 2>/dev/null || true' EXIT
secrets=(KAVELO_SIGN_PKCS11_MODULE=/usr/lib/softhsm/libsofthsm2.so
  "KAVELO_SIGN_KEY=pkcs11:token=kavelo-release;object=signer;type=private" KAVELO_SIGN_PIN=1618
  "KAVELO_SIGN_CERT_PEM=$(cat "$pki/sign.pem")" "KAVELO_SIGN_TIMESTAMP_URL=$tsa_url"
  "KAVELO_SIGN_CA_PEM=$(cat "$pki/ca.pem")" "KAVELO_SIGN_TSA_CA_PEM=$(cat "$pki/tsa-ca.pem")")

status=0
env "${secrets[@]}" scripts/release-package.sh "$work/modules" "$work/refused" 2>"$work/refused.txt" || status=$?
check "the package job refuses modules not made for distribution" test "$status" = 2
check "naming the real-kit build's module and why" \
  grep -qF "KAVELO-archicad-27/KAVELO.apx: does not import VCRUNTIME140.dll" "$work/refused.txt"
check "and packs nothing" test ! -e "$work/refused/package"

# Without the signing secrets: everything packed, named and titled unsigned, and never called signed.
scripts/release-package.sh --test-build --no-installer-tests "$work/modules" "$work/unsigned" \
  >"$work/unsigned.txt" 2>&1
unsigned="$work/unsigned/package"
check "without secrets the installer is named unsigned" test -s "$unsigned/KAVELO-$version-TEST-UNSIGNED-Setup.exe"
check "and so is the zip" test -s "$unsigned/KAVELO-$version-TEST-UNSIGNED.zip"
check "nothing is said to be signed" fails grep -qiw signed "$work/unsigned.txt"
check "it says that it is unsigned" grep -q "UNSIGNED (no signing secrets given)" "$work/unsigned.txt"
check "the unsigned installer carries no signature" fails osslsigncode verify -in \
  "$unsigned/KAVELO-$version-TEST-UNSIGNED-Setup.exe" -CAfile "$pki/ca.pem"

# One secret missing: nothing packed, the missing one named.
status=0
env "${secrets[@]}" KAVELO_SIGN_TSA_CA_PEM= scripts/release-package.sh --test-build "$work/modules" \
  "$work/partial" 2>"$work/partial.txt" || status=$?
check "with a signing secret missing the package job fails" test "$status" = 2
check "naming the missing secret" grep -q "signing needs KAVELO_SIGN_TSA_CA_PEM as well as" "$work/partial.txt"
check "and packs nothing" test ! -e "$work/partial/package"

# All the secrets: signed through PKCS#11, each signature verified against the CA files given.
env "${secrets[@]}" scripts/release-package.sh --test-build "$work/modules" "$work/out" >"$work/signed.txt"
package="$work/out/package"
check "it says how it signed" grep -q "signed through PKCS#11 and verified" "$work/signed.txt"
check "the installer is named as a test build" test -s "$package/KAVELO-$version-TEST-Setup.exe"
check "the zip is named as a test build" test -s "$package/KAVELO-$version-TEST.zip"
check "the signing secrets are not left behind" test ! -e "$work/out/signing"
unpacked="$work/out/unpacked/KAVELO-$version-TEST"
signed() { KAVELO_SIGN_CA_FILE="$pki/ca.pem" KAVELO_SIGN_TSA_CA_FILE="$pki/tsa-ca.pem" installer/sign.sh --verify "$1" 2>/dev/null; }
for n in 27 28; do
  check "the zip holds the module for Archicad $n" test -f "$unpacked/Archicad $n/KAVELO.apx"
  check "the packed module for Archicad $n is signed" signed "$unpacked/Archicad $n/KAVELO.apx"
done
check "the installer is signed" signed "$package/KAVELO-$version-TEST-Setup.exe"
check "a signature that only the given CA file vouches for fails against the system's roots" \
  fails installer/sign.sh --verify "$package/KAVELO-$version-TEST-Setup.exe"
check "the packed Archicad 27 module is the real-kit build's" grep -q "KAVELO $version for Archicad 27; .*gsroot.dll" \
  <(cmake -D MODULE="$unpacked/Archicad 27/KAVELO.apx" -D AC_VERSION=27 -D TOLERATE=private,runtime \
      -P tools/module-check/CheckModule.cmake 2>&1)
[ "$failed" = 0 ]
