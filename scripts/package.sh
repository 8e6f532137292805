#!/usr/bin/env bash
# Packs the add-on for Windows users:
#   package.sh [--sign] [--module N=PATH]... [--build-dir DIR] [--out DIR] [--no-build]
# Builds the Windows module (unless --no-build), then writes OUT/KAVELO-<version>-Setup.exe (the installer,
# installer/KAVELO.nsi) and OUT/KAVELO-<version>.zip (the module per Archicad version and the text on the
# Add-On Manager route). OUT is build/package by default; the version is the project's (CMakeLists.txt),
# read from the Windows build's cache. --module N=PATH adds or replaces the module for Archicad N; by
# default the installer carries the Windows build's KAVELO.apx for Archicad 28.
# --sign signs the modules and the installer's helper before they are packed, the installer and its
# uninstaller (Authenticode, SHA-256, time-stamped; installer/sign.sh says how): with the PEM certificate
# (chain) in KAVELO_SIGN_CERT, the key in KAVELO_SIGN_KEY (a PEM file, or a PKCS#11 URI of a key in a
# token whose module is KAVELO_SIGN_PKCS11_MODULE and PIN KAVELO_SIGN_PIN) and the RFC 3161 time-stamp
# authority KAVELO_SIGN_TIMESTAMP_URL. Every signature is verified before it says "signed"; a signer that
# fails leaves no package.
set -euo pipefail
cd "$(dirname "$0")/.."
usage="usage: package.sh [--sign] [--module N=PATH]... [--build-dir DIR] [--out DIR] [--no-build]"
sign=0
build=1
build_dir=build/windows
out=build/package
declare -A modules=()
while [ $# -gt 0 ]; do
  case "$1" in
    --sign) sign=1 ;;
    --no-build) build=0 ;;
    --module) [[ "${2:-}" =~ ^([0-9]+)=(.+)$ ]] || { echo "$usage" >&2; exit 2; }
              modules[${BASH_REMATCH[1]}]="${BASH_REMATCH[2]}"; shift ;;
    --build-dir) [ -n "${2:-}" ] || { echo "$usage" >&2; exit 2; }; build_dir="$2"; shift ;;
    --out) [ -n "${2:-}" ] || { echo "$usage" >&2; exit 2; }; out="$2"; shift ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
  shift
done
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
if ! command -v makensis >/dev/null || { [ "$sign" = 1 ] && ! command -v osslsigncode >/dev/null; }; then
  scripts/install-deps.sh --windows
fi
if [ "$build" = 1 ]; then
  scripts/build.sh release kavelo-rescomp >/dev/null
  scripts/build.sh windows KAVELO kavelo-setup-helper >/dev/null
fi
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt" 2>/dev/null || true)
if [ -z "$version" ]; then
  echo "package.sh: no configured Windows build in $build_dir (scripts/build.sh windows)" >&2
  exit 1
fi
[ -n "${modules[28]:-}" ] || modules[28]="$build_dir/bin/KAVELO.apx"

mkdir -p "$out"
out=$(cd "$out" && pwd)
work="$out/KAVELO-$version"
rm -rf "$work"
mkdir -p "$work"
sign_command="$PWD/installer/sign.sh"
# Each version's module as it is packed: a copy, signed when asked, in the zip's layout.
echo '; The modules this installer carries, written by scripts/package.sh.' >"$work.nsh"
echo '!macro KaveloEachModule ACTION' >>"$work.nsh"
for n in $(printf '%s\n' "${!modules[@]}" | sort -n); do
  [ -f "${modules[$n]}" ] || { echo "package.sh: no module ${modules[$n]} for Archicad $n" >&2; exit 1; }
  mkdir -p "$work/Archicad $n"
  cp "${modules[$n]}" "$work/Archicad $n/KAVELO.apx"
  [ "$sign" = 0 ] || "$sign_command" "$work/Archicad $n/KAVELO.apx"
  echo "  !insertmacro \${ACTION} $n \"$work/Archicad $n/KAVELO.apx\"" >>"$work.nsh"
done
echo '!macroend' >>"$work.nsh"
# The installer's helper program (installer/helper), signed as the modules are.
helper="$work.helper.exe"
cp "$build_dir/bin/kavelo-setup-helper.exe" "$helper"
[ "$sign" = 0 ] || "$sign_command" "$helper"
sed "s/@VERSION@/$version/g" installer/AddOnManager.txt >"$work/Adding KAVELO in the Add-On Manager.txt"

setup="$out/KAVELO-$version-Setup.exe"
nsis_args=(-V2 -DVERSION="$version" -DOUTFILE="$setup" -DMODULES="$work.nsh")
nsis_args+=(-DHELPER_FILE="$helper")
[ "$sign" = 0 ] || nsis_args+=(-DSIGN="\"$sign_command\"")
makensis "${nsis_args[@]}" installer/KAVELO.nsi
zip="$out/KAVELO-$version.zip"
rm -f "$zip"
(cd "$out" && cmake -E tar cf "$zip" --format=zip "KAVELO-$version")
if [ "$sign" = 1 ]; then
  # Every signature made, verified again as packed (the uninstaller's as makensis signed it).
  for file in "$setup" "$helper" "$work"/*/KAVELO.apx; do
    "$sign_command" --verify "$file"
  done
fi
rm -rf "$work" "$work.nsh"
rm -f "$helper"
if [ "$sign" = 0 ]; then
  echo "Packed unsigned (package.sh --sign signs the module, the installer and the uninstaller):"
else
  echo "Packed and signed with $KAVELO_SIGN_CERT, each signature verified and time-stamped:"
fi
echo "  $setup"
echo "  $zip"
