#!/usr/bin/env bash
# The main job: sets up and builds, starts the web application stand-in on loopback with its throwaway
# certificate authority, and plays the first use of the add-on in the simulated host end to end.
# --interactive hands the menus, dialogs and palette to you instead of the script; --browser opens the
# pages in a real headless Chromium and keeps screenshots of them; --windows plays the same first use
# with the Windows hostsim and module under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
echo "Building (release)..."
scripts/build.sh release >/dev/null
for option in "$@"; do
  if [ "$option" = --windows ]; then
    echo "Building (windows)..."
    scripts/build.sh windows hostsim kavelo-url-recorder KAVELO >/dev/null
    # A Wine prefix of its own (made on first use), so that a demo never meets a test run's.
    export KAVELO_WINEPREFIX="${KAVELO_WINEPREFIX:-$PWD/build/windows/demo-wineprefix}"
    exec scripts/play-first-use.sh build/windows "$@"
  fi
done

exec scripts/play-first-use.sh build/release "$@"
