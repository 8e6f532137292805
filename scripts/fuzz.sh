#!/usr/bin/env bash
# Open-ended fuzzing of the byte readers with libFuzzer (clang, ASan+UBSan): fuzz.sh [SECONDS per target]
# Corpora grow under build/fuzz/corpus; a crash leaves its input in build/fuzz and fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
scripts/install-deps.sh --fuzz
scripts/build.sh fuzz
# The module's resource image (the fuzz preset builds it) seeds the resource reader.
image=build/fuzz/resources/KAVELO.rsrc
[ -f "$image" ] || { echo "fuzz.sh: no resource image at $image to seed the resource reader" >&2; exit 1; }
# fuzz_one TARGET: one target's run, its last lines printed together once it ends.
fuzz_one() {
  local target="$1" corpus="build/fuzz/corpus/$1" seeds output status=0
  mkdir -p "$corpus"
  case "$target" in
    resource_image_fuzz) seeds="$(dirname "$image")" ;;
    json_fuzz) seeds=tests/fuzz/seeds/json ;;
    channel_fuzz) seeds=tests/fuzz/seeds/channel ;;
  esac
  output=$(cd build/fuzz && "tests/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 "../../$corpus" \
    "../../$seeds" 2>&1) || status=$?
  printf '== %s for %ss\n%s\n' "$target" "$seconds" "$(tail -n 2 <<<"$output")"
  return "$status"
}
export -f fuzz_one
export image seconds
# One target per core at a time: each still has the whole of a core for its time.
printf '%s\n' resource_image_fuzz json_fuzz channel_fuzz | xargs -P "$(nproc)" -I{} bash -c 'fuzz_one "$1"' _ {}
