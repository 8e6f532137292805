#!/usr/bin/env bash
# The main job: installs the packages it needs that are missing, builds what it runs, starts the web
# application stand-in on loopback with its throwaway certificate authority, and plays the first use of
# the add-on in the simulated host end to end. The options are checked before anything is installed.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  cat <<'EOF'
usage: scripts/demo.sh [--interactive] [--browser | --windows]
Plays the add-on's first use end to end: link, login, export, upload, "Open live".
  --interactive  you answer the dialogs and click the palette in the terminal instead of the script
  --browser      the pages open in a real headless Chromium, which keeps screenshots of them
  --windows      the Windows builds of hostsim and the module play it under Wine
  --help         prints this and does nothing else
EOF
}

browser=0
windows=0
for option in "$@"; do
  case "$option" in
    --help) usage; exit 0 ;;
    --interactive) ;;
    --browser) browser=1 ;;
    --windows) windows=1 ;;
    *) echo "demo.sh: unknown option $option" >&2; usage >&2; exit 2 ;;
  esac
done
if [ "$browser" = 1 ] && [ "$windows" = 1 ]; then
  echo "demo.sh: the Windows hostsim has no Chromium: --browser and --windows do not go together" >&2
  usage >&2
  exit 2
fi

if [ "$windows" = 1 ]; then
  scripts/install-deps.sh --windows
  # The Windows build runs the native resource compiler, and the demo the native web application stand-in.
  echo "Building the resource compiler and the web application stand-in (release)..."
  scripts/build.sh release kavelo-rescomp kavelo-webapp >/dev/null
  echo "Building hostsim and the module (windows)..."
  scripts/build.sh windows hostsim kavelo-url-recorder KAVELO >/dev/null
  # A Wine prefix of its own (made on first use), so that a demo never meets a test run's.
  export KAVELO_WINEPREFIX="${KAVELO_WINEPREFIX:-$PWD/build/windows/demo-wineprefix}"
  exec scripts/play-first-use.sh build/windows "$@"
fi

if [ "$browser" = 1 ]; then
  scripts/install-deps.sh --browser
else
  scripts/install-deps.sh
fi
echo "Building the module, hostsim and the web application stand-in (release)..."
scripts/build.sh release KAVELO hostsim kavelo-webapp >/dev/null
exec scripts/play-first-use.sh build/release "$@"
