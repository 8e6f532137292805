#!/usr/bin/env bash
# Builds the Windows DLLs and programs (windows preset: MinGW-w64, run under Wine) and runs their tests in
# a throwaway Wine prefix under build/windows, with one wineserver kept running for all of them. Needs
# the release build's tools (the resource compiler, the web application stand-in, the test drivers).
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)
scripts/build.sh release kavelo-rescomp kavelo-webapp winhttp_client_test hostsim_wine_test KAVELO >/dev/null
scripts/build.sh windows
prefix="$PWD/build/windows/wineprefix"
rm -rf "$prefix" "$prefix.lock"
built=$(date +%s)
tools/wine-run.sh "$prefix" --start
trap 'tools/wine-run.sh "$prefix" --stop' EXIT
ctest --preset windows --parallel "$(nproc)" --timeout 300
echo "Windows part: build $((built - started)) s, Wine prefix and tests $(($(date +%s) - built)) s"
