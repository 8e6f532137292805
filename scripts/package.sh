#!/usr/bin/env bash
# Packs the add-on for Windows users:
#   package.sh [--sign | --unsigned] [--test-build] [--module N=PATH]... [--build-dir DIR] [--out DIR]
# Writes OUT/KAVELO-<version>-Setup.exe (the installer, installer/KAVELO.nsi) and OUT/KAVELO-<version>.zip
# (the module per Archicad version and the text on the Add-On Manager route). OUT is build/package by
# default; the version is the project's (project(VERSION) in CMakeLists.txt). --module N=PATH names the
# module for Archicad N: users get only modules built with the vendor's toolchain against that version's
# DevKit (.github/workflows/release.yml builds them), so every module is checked first
# (tools/module-check) and a module that fails is refused with one line, exit code 2, nothing written.
# --test-build packs modules that fail the check for distribution (the stand-in's, those made here with
# LLVM's tools) for tests only: the files are named KAVELO-<version>-TEST-Setup.exe and -TEST.zip and the
# installer says "test build, not for distribution"; without --module it packs the Windows build's
# KAVELO.apx for Archicad 28.
# The installer's helper program (installer/helper) comes from the Windows build in DIR (build/windows).
# It packs what it is given and builds and installs nothing: the caller builds the helper (and the stand-in's
# module for a test build) and installs NSIS, LLVM's llvm-readobj and, to sign, osslsigncode first:
#   scripts/install-deps.sh --windows --devkit
#   scripts/build.sh release kavelo-rescomp && scripts/build.sh windows kavelo-setup-helper [KAVELO]
# --sign signs the modules and the installer's helper before they are packed, the installer and its
# uninstaller (Authenticode, SHA-256, time-stamped; installer/sign.sh says how): with the PEM certificate
# (chain) in KAVELO_SIGN_CERT, the key in KAVELO_SIGN_KEY (a PEM file, or a PKCS#11 URI of a key in a
# token whose module is KAVELO_SIGN_PKCS11_MODULE and PIN KAVELO_SIGN_PIN) and the RFC 3161 time-stamp
# authority KAVELO_SIGN_TIMESTAMP_URL. Every signature is verified before it says "signed"; a signer that
# fails leaves no package. A package for users that is not signed says so: its files are named
# KAVELO-<version>-UNSIGNED-Setup.exe and -UNSIGNED.zip and the installer's title says "unsigned";
# --unsigned names a test build so too (scripts/release-package.sh without signing secrets).
set -euo pipefail
cd "$(dirname "$0")/.."
usage="usage: package.sh [--sign | --unsigned] [--test-build] [--module N=PATH]... [--build-dir DIR] [--out DIR]"
sign=0
unsigned=0
test_build=0
build_dir=build/windows
out=build/package
declare -A modules=()
while [ $# -gt 0 ]; do
  case "$1" in
    --sign) sign=1 ;;
    --unsigned) unsigned=1 ;;
    --test-build) test_build=1 ;;
    --module) [[ "${2:-}" =~ ^([0-9]+)=(.+)$ ]] || { echo "$usage" >&2; exit 2; }
              modules[${BASH_REMATCH[1]}]="${BASH_REMATCH[2]}"; shift ;;
    --build-dir) [ -n "${2:-}" ] || { echo "$usage" >&2; exit 2; }; build_dir="$2"; shift ;;
    --out) [ -n "${2:-}" ] || { echo "$usage" >&2; exit 2; }; out="$2"; shift ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
  shift
done
[ "$sign" = 0 ] || [ "$unsigned" = 0 ] || { echo "$usage" >&2; exit 2; }
[ "$sign" = 1 ] || [ "$test_build" = 1 ] || unsigned=1
if [ "${#modules[@]}" = 0 ] && [ "$test_build" = 0 ]; then
  echo "package.sh: a release packs KAVELO.apx built with the vendor's toolchain against each Archicad version's" \
    "DevKit: --module 27=PATH --module 28=PATH --module 29=PATH (.github/workflows/release.yml builds them;" \
    "README.md, \"Releasing\", says how by hand); --test-build packs the stand-in's module for tests" >&2
  exit 2
fi
if [ "$sign" = 1 ]; then
  if [ ! -f "${KAVELO_SIGN_CERT:-}" ] || [ -z "${KAVELO_SIGN_TIMESTAMP_URL:-}" ] ||
     { [[ "${KAVELO_SIGN_KEY:-}" != pkcs11:* ]] && [ ! -f "${KAVELO_SIGN_KEY:-}" ]; } ||
     { [[ "${KAVELO_SIGN_KEY:-}" == pkcs11:* ]] && [ ! -f "${KAVELO_SIGN_PKCS11_MODULE:-}" ]; }; then
    echo "package.sh: --sign needs KAVELO_SIGN_CERT (a PEM certificate), KAVELO_SIGN_KEY (a PEM key, or a pkcs11:" \
      "URI with KAVELO_SIGN_PKCS11_MODULE naming the token's module) and KAVELO_SIGN_TIMESTAMP_URL (an RFC 3161" \
      "time-stamp authority)" >&2
    exit 2
  fi
  # A signer that fails (makensis fails with it) leaves no package behind, nor what was being packed.
  trap 'rm -rf "${setup:-}" "${zip:-}" "${helper:-}" ${work:+"$work" "$work.nsh"}' ERR
fi
needs() {  # needs PROGRAM INSTALL_OPTION
  command -v "$1" >/dev/null ||
    { echo "package.sh: no $1 on the path (scripts/install-deps.sh $2 installs it)" >&2; exit 1; }
}
needs makensis --windows
[ "$sign" = 0 ] || needs osslsigncode --windows
needs llvm-readobj --devkit
built() {  # built FILE TARGET
  [ -f "$1" ] || { echo "package.sh: no $1 (scripts/build.sh windows $2 builds it)" >&2; exit 1; }
}
built "$build_dir/bin/kavelo-setup-helper.exe" kavelo-setup-helper
if [ "$test_build" = 1 ] && [ -z "${modules[28]:-}" ]; then
  built "$build_dir/bin/KAVELO.apx" KAVELO
  modules[28]="$build_dir/bin/KAVELO.apx"
fi
version=$(sed -n 's/^project(KAVELO VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
# Every module checked before anything is written; a test build lets through what only a release refuses.
tolerate=""
[ "$test_build" = 0 ] || tolerate="private,runtime,stand-in,version"
for n in $(printf '%s\n' "${!modules[@]}" | sort -n); do
  if ! found=$(cmake -D MODULE="${modules[$n]}" -D AC_VERSION="$n" -D VERSION="$version" -D TOLERATE="$tolerate" \
      -P tools/module-check/CheckModule.cmake 2>&1); then
    echo "package.sh: refused for Archicad $n: $(grep -m1 -v '^note: ' <<<"$found")" >&2
    exit 2
  fi
done
name="KAVELO-$version"
[ "$test_build" = 0 ] || name="$name-TEST"
[ "$unsigned" = 0 ] || name="$name-UNSIGNED"

mkdir -p "$out"
out=$(cd "$out" && pwd)
work="$out/$name"
rm -rf "$work"
mkdir -p "$work"
sign_command="$PWD/installer/sign.sh"
# Each version's module as it is packed: a copy, signed when asked, in the zip's layout.
module_lines=()
for n in $(printf '%s\n' "${!modules[@]}" | sort -n); do
  [ -f "${modules[$n]}" ] || { echo "package.sh: no module ${modules[$n]} for Archicad $n" >&2; exit 1; }
  mkdir -p "$work/Archicad $n"
  cp "${modules[$n]}" "$work/Archicad $n/KAVELO.apx"
  [ "$sign" = 0 ] || "$sign_command" "$work/Archicad $n/KAVELO.apx"
  module_lines+=("  !insertmacro \${ACTION} $n \"$work/Archicad $n/KAVELO.apx\"")
done
# The installer's list of them, from its template: the line @MODULES@ replaced whole, so that no path
# needs escaping.
while IFS= read -r line; do
  if [ "$line" = @MODULES@ ]; then printf '%s\n' "${module_lines[@]}"; else printf '%s\n' "$line"; fi
done <installer/Modules.nsh.in >"$work.nsh"
# The installer's helper program (installer/helper), signed as the modules are.
helper="$work.helper.exe"
cp "$build_dir/bin/kavelo-setup-helper.exe" "$helper"
[ "$sign" = 0 ] || "$sign_command" "$helper"
sed "s/@VERSION@/$version/g" installer/AddOnManager.txt >"$work/Adding KAVELO in the Add-On Manager.txt"

setup="$out/$name-Setup.exe"
nsis_args=(-V2 -DVERSION="$version" -DOUTFILE="$setup" -DMODULES="$work.nsh")
[ "$test_build" = 0 ] || nsis_args+=(-DTEST_BUILD)
[ "$unsigned" = 0 ] || nsis_args+=(-DUNSIGNED)
nsis_args+=(-DHELPER_FILE="$helper")
[ "$sign" = 0 ] || nsis_args+=(-DSIGN="\"$sign_command\"")
makensis "${nsis_args[@]}" installer/KAVELO.nsi
zip="$out/$name.zip"
rm -f "$zip"
(cd "$out" && cmake -E tar cf "$zip" --format=zip "$name")
if [ "$sign" = 1 ]; then
  # Every signature made, verified again as packed (the uninstaller's as makensis signed it).
  for file in "$setup" "$helper" "$work"/*/KAVELO.apx; do
    "$sign_command" --verify "$file"
  done
fi
rm -rf "$work" "$work.nsh"
rm -f "$helper"
[ "$test_build" = 0 ] || echo "A test build, not for distribution:"
if [ "$sign" = 0 ]; then
  echo "Packed UNSIGNED (without --sign):"
else
  echo "Packed and signed with $KAVELO_SIGN_CERT, each signature verified and time-stamped:"
fi
echo "  $setup"
echo "  $zip"
