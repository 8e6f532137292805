#!/usr/bin/env bash
# Open-ended fuzzing of the byte readers with libFuzzer (clang, ASan+UBSan): fuzz.sh [SECONDS per target]
# Corpora grow under build/fuzz/corpus; a crash leaves its input in build/fuzz and fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
scripts/install-deps.sh --fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --parallel "$(nproc)"
# The module's resource image (the fuzz preset builds it) seeds the resource reader.
image=build/fuzz/resources/KAVELO.rsrc
[ -f "$image" ] || { echo "fuzz.sh: no resource image at $image to seed the resource reader" >&2; exit 1; }
for target in resource_image_fuzz json_fuzz channel_fuzz; do
  corpus="build/fuzz/corpus/$target"
  mkdir -p "$corpus"
  case "$target" in
    resource_image_fuzz) seeds="$(dirname "$image")" ;;
    json_fuzz) seeds=tests/fuzz/seeds/json ;;
    channel_fuzz) seeds=tests/fuzz/seeds/channel ;;
  esac
  echo "== $target for ${seconds}s"
  (cd build/fuzz && "tests/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 "../../$corpus" "../../$seeds" 2>&1 | tail -n 2)
done
