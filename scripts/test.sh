#!/usr/bin/env bash
# Sets up, builds and runs every test: the format check, then the whole suite in a release build and in
# a build with AddressSanitizer and UndefinedBehaviorSanitizer, then the Windows build under Wine.
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
echo "== windows build and tests (under Wine)"
scripts/test-windows.sh
