#!/usr/bin/env bash
# Configures and builds one preset (release, asan or windows): build.sh PRESET [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-release}"
shift || true
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --parallel "$(nproc)" ${1:+--target "$@"}
