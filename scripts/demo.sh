#!/usr/bin/env bash
# The main job: sets up and builds, starts the web application stand-in on loopback with its throwaway
# certificate authority, and plays the first use of the add-on in the simulated host end to end.
# --interactive hands the menus, dialogs and palette to you instead of the script; --browser opens the
# pages in a real headless Chromium and keeps screenshots of them.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
echo "Building (release)..."
scripts/build.sh release >/dev/null

exec scripts/play-first-use.sh build/release "$@"
