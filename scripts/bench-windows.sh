#!/usr/bin/env bash
# Base64Encode in the Windows build under Wine against the native release build, on the same input and
# with the same timing program (bench/base64_timing.cpp), one after the other: bench-windows.sh [REPETITIONS]
# Prints both figures and the ratio of the medians (Windows over native). Needs both builds.
set -euo pipefail
cd "$(dirname "$0")/.."
repetitions="${1:-31}"
scripts/build.sh release base64_timing >/dev/null
scripts/build.sh windows base64_timing >/dev/null
prefix="$PWD/build/windows/wineprefix"
tools/wine-run.sh "$prefix" --start
trap 'tools/wine-run.sh "$prefix" --stop' EXIT
native=$(build/release/bench/base64_timing "$repetitions")
windows=$(tools/wine-run.sh "$prefix" build/windows/bin/base64_timing.exe "$repetitions" | tr -d '\r')
echo "native:"
echo "$native" | sed 's/^/  /'
echo "Windows build under Wine:"
echo "$windows" | sed 's/^/  /'
paste <(echo "$native") <(echo "$windows") | awk '{
  split($0, sides, "\t"); split(sides[1], a, " "); split(sides[2], b, " ");
  printf "%s bytes: Windows/native time ratio %.2f\n", a[2], b[5] / a[5] }'
