#!/usr/bin/env bash
# Configures and builds one preset (release, asan or windows): build.sh PRESET [TARGET...]
# Or the build users' modules come from, Src/RealDevKit.cmake, against a real Archicad DevKit with LLVM's
# tools in the place of Microsoft's (tools/devkit-check/RealBuild.cmake), into build/real-devkit-<version>:
#   build.sh real-devkit KIT_FOLDER
# (a kit without Windows libraries is compiled only, with what it lacks lent by the kits that the
# environment's KAVELO_CHECK_DEVKITS names).
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-release}"
shift || true
if [ "$preset" = real-devkit ]; then
  [ $# = 1 ] || { echo "usage: build.sh real-devkit KIT_FOLDER" >&2; exit 2; }
  exec cmake -DKIT="$1" -DBUILD_ROOT="$PWD/build" -DFALLBACK_KITS="${KAVELO_CHECK_DEVKITS:-}" \
    -P tools/devkit-check/RealBuild.cmake
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --parallel "$(nproc)" ${1:+--target "$@"}
