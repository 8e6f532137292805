#!/usr/bin/env bash
# Packs the add-on for Windows users:
#   package.sh [--sign] [--test-build] [--module N=PATH]... [--build-dir DIR] [--out DIR] [--no-build]
# Writes OUT/KAVELO-<version>-Setup.exe (the installer, installer/KAVELO.nsi) and OUT/KAVELO-<version>.zip
# (the module per Archicad version and the text on the Add-On Manager route). OUT is build/package by
# default; the version is the project's (project(VERSION) in CMakeLists.txt). --module N=PATH names the
# module for Archicad N: users get only modules built with the vendor's toolchain against that version's
# DevKit (.github/workflows/release.yml builds them), so every module is checked first
# (tools/module-check) and a module that fails is refused with one line, exit code 2, nothing written.
# --test-build packs modules that fail the check for distribution (the stand-in's, those made here with
# LLVM's tools) for tests only: the files are named KAVELO-<version>-TEST-Setup.exe and -TEST.zip and the
# installer says "test build, not for distribution"; without --module it packs the Windows build's
# KAVELO.apx for Archicad 28, building it first unless --no-build.
# --sign signs the modules before they are packed, the installer and its uninstaller (Authenticode,
# SHA-256) with the PEM certificate (chain) in KAVELO_SIGN_CERT and the PEM key in KAVELO_SIGN_KEY.
set -euo pipefail
cd "$(dirname "$0")/.."
usage="usage: package.sh [--sign] [--test-build] [--module N=PATH]... [--build-dir DIR] [--out DIR] [--no-build]"
sign=0
test_build=0
build=1
build_dir=build/windows
out=build/package
declare -A modules=()
while [ $# -gt 0 ]; do
  case "$1" in
    --sign) sign=1 ;;
    --test-build) test_build=1 ;;
    --no-build) build=0 ;;
    --module) [[ "${2:-}" =~ ^([0-9]+)=(.+)$ ]] || { echo "$usage" >&2; exit 2; }
              modules[${BASH_REMATCH[1]}]="${BASH_REMATCH[2]}"; shift ;;
    --build-dir) [ -n "${2:-}" ] || { echo "$usage" >&2; exit 2; }; build_dir="$2"; shift ;;
    --out) [ -n "${2:-}" ] || { echo "$usage" >&2; exit 2; }; out="$2"; shift ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
  shift
done
if [ "${#modules[@]}" = 0 ] && [ "$test_build" = 0 ]; then
  echo "package.sh: a release packs KAVELO.apx built with the vendor's toolchain against each Archicad version's" \
    "DevKit: --module 27=PATH --module 28=PATH --module 29=PATH (.github/workflows/release.yml builds them;" \
    "README.md, \"Releasing\", says how by hand); --test-build packs the stand-in's module for tests" >&2
  exit 2
fi
if [ "$sign" = 1 ] && { [ ! -f "${KAVELO_SIGN_CERT:-}" ] || [ ! -f "${KAVELO_SIGN_KEY:-}" ]; }; then
  echo "package.sh: --sign needs KAVELO_SIGN_CERT and KAVELO_SIGN_KEY naming a PEM certificate and key" >&2
  exit 2
fi
if ! command -v makensis >/dev/null || { [ "$sign" = 1 ] && ! command -v osslsigncode >/dev/null; }; then
  scripts/install-deps.sh --windows
fi
command -v llvm-readobj >/dev/null || scripts/install-deps.sh --devkit
version=$(sed -n 's/^project(KAVELO VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
if [ "$test_build" = 1 ] && [ -z "${modules[28]:-}" ]; then
  if [ "$build" = 1 ]; then
    scripts/build.sh release kavelo-rescomp >/dev/null
    scripts/build.sh windows KAVELO >/dev/null
  fi
  modules[28]="$build_dir/bin/KAVELO.apx"
fi
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
[ "$test_build" = 0 ] || name="KAVELO-$version-TEST"

mkdir -p "$out"
out=$(cd "$out" && pwd)
work="$out/$name"
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
sed "s/@VERSION@/$version/g" installer/AddOnManager.txt >"$work/Adding KAVELO in the Add-On Manager.txt"

setup="$out/$name-Setup.exe"
nsis_args=(-V2 -DVERSION="$version" -DOUTFILE="$setup" -DMODULES="$work.nsh")
[ "$test_build" = 0 ] || nsis_args+=(-DTEST_BUILD)
[ "$sign" = 0 ] || nsis_args+=(-DSIGN="\"$sign_command\"")
makensis "${nsis_args[@]}" installer/KAVELO.nsi
zip="$out/$name.zip"
rm -f "$zip"
(cd "$out" && cmake -E tar cf "$zip" --format=zip "$name")
rm -rf "$work" "$work.nsh"
[ "$test_build" = 0 ] || echo "A test build, not for distribution:"
if [ "$sign" = 0 ]; then
  echo "Packed unsigned (package.sh --sign signs the module, the installer and the uninstaller):"
else
  echo "Packed and signed with $KAVELO_SIGN_CERT:"
fi
echo "  $setup"
echo "  $zip"
