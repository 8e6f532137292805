#!/usr/bin/env bash
# Sets up, builds and runs every test: the format check, then the whole suite in a release build and in
# a build with AddressSanitizer and UndefinedBehaviorSanitizer, then the fuzz targets built with clang,
# each run for a short while, then the Windows build under Wine (with the check of the add-on against the
# real Archicad DevKits that KAVELO_CHECK_DEVKITS names).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --all
scripts/check-format.sh
# The suites that wait on shaped and slow links and on held answers (two thirds of the release suite's
# time, mostly asleep) run in a lane of their own, three at a time, beside the others, which keep one test
# per core as before. A case renamed out of this pattern still runs, in the other lane.
waiting='^(ShapedExport|SlowLinkExport|LargeViewSlowLinkExport|HeldAnswerTest|ShapedUpload)\.'
for preset in release asan; do
  echo "== $preset build"
  scripts/build.sh "$preset"
  echo "== $preset tests"
  log="build/$preset/waiting-tests.log"
  ctest --preset "$preset" --parallel 3 --timeout 300 -R "$waiting" >"$log" 2>&1 &
  waiting_lane=$!
  status=0
  ctest --preset "$preset" --parallel "$(nproc)" --timeout 300 -E "$waiting" || status=$?
  wait "$waiting_lane" || status=$?
  echo "== $preset tests that wait on slow links (beside the others)"
  cat "$log"
  [ "$status" = 0 ] || exit "$status"
done
echo "== fuzz targets (clang, libFuzzer), 20 s each"
scripts/fuzz.sh 20
echo "== windows build and tests (under Wine)"
scripts/test-windows.sh
