#!/usr/bin/env bash
# The main job: sets up and builds, starts the web application stand-in on loopback, and plays the first
# use of the add-on in the simulated host end to end. Extra arguments go to the player (--interactive
# hands the dialogs and the palette to you).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh release >/dev/null
exec build/release/hostsim/kavelo-demo --build-dir build/release "$@"
