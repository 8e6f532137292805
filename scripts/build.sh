#!/usr/bin/env bash
# Configures and builds one preset (release, asan, fuzz or windows): build.sh PRESET [TARGET...]
# A build tree configured here for the first time compiles through ccache where it is installed, with paths
# under the project hashed relative to it, so that another clone's or worktree's objects serve (CI builds
# a fresh clone each run).
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
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER="${CMAKE_C_COMPILER_LAUNCHER:-ccache}"
  export CMAKE_CXX_COMPILER_LAUNCHER="${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}"
  # The debug builds' objects too: without it, ccache hashes the build folder into every -g compile.
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR=1
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --parallel "$(nproc)" ${1:+--target "$@"}
