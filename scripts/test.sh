#!/usr/bin/env bash
# Sets up, builds and runs every test: the format check, then the whole suite in a release build and in
# a build with AddressSanitizer and UndefinedBehaviorSanitizer, then the fuzz targets built with clang,
# each run for a short while, then the Windows build under Wine (with the check of the add-on against the
# real Archicad DevKits that KAVELO_CHECK_DEVKITS names).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --all
scripts/check-format.sh
for preset in release asan; do
  echo "== $preset build"
  scripts/build.sh "$preset"
  echo "== $preset tests"
  ctest --preset "$preset" --parallel "$(nproc)" --timeout 300
done
echo "== fuzz targets (clang, libFuzzer), 20 s each"
scripts/fuzz.sh 20
echo "== windows build and tests (under Wine)"
scripts/test-windows.sh
