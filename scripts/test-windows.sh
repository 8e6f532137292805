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
# One Wine test at a time (RESOURCE_LOCK wine), and a failed one once more: in one CI run of many, a
# WinHTTP wait under Wine (the login page's body, read through the CONNECT proxy) got no completion for 8 s
# while two other Wine tests ran beside it. Not reproduced since; until it is understood, a second failure
# still fails the run. The tests that run no Windows program in this prefix (the builds against the real
# kits, one at a time and with one compile job each, the module checks, objdump) run beside them.
ctest --preset windows --parallel 2 --timeout 300 --repeat until-pass:2
echo "Windows part: build $((built - started)) s, Wine prefix and tests $(($(date +%s) - built)) s"
