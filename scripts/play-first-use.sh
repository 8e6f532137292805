#!/usr/bin/env bash
# Plays the add-on's first use against an already built tree:
#   play-first-use.sh BUILD_DIR [--interactive] [--browser]
# Starts the web application stand-in on loopback with its throwaway certificate authority, then hostsim
# with the built module, the origin routed to the stand-in and its authority trusted. --browser opens the
# pages in a real headless Chromium (the login confirmed with the page's button) and keeps screenshots.
#   play-first-use.sh WINDOWS_BUILD_DIR --windows [--interactive]
# runs the Windows hostsim and module of a windows-preset build under Wine (in the build's Wine prefix, or
# KAVELO_WINEPREFIX): WinHTTP cannot route a name, so the stand-in (the native build's, build/release or
# KAVELO_NATIVE_BUILD) also runs a CONNECT proxy, and hostsim reaches app.kavelo.io through it.
# KAVELO_MODULE names another module file for the Windows hostsim (a Windows path: an installed module).
set -euo pipefail
cd "$(dirname "$0")/.."
build="$1"
shift
interactive=0
browser=confirm-login
windows=0
for option in "$@"; do
  case "$option" in
    --interactive) interactive=1 ;;
    --browser) browser=chromium ;;
    --windows) windows=1 ;;
    *) echo "usage: play-first-use.sh BUILD_DIR [--interactive] [--browser] | WINDOWS_BUILD_DIR --windows [--interactive]" >&2; exit 2 ;;
  esac
done
if [ "$windows" = 1 ] && [ "$browser" = chromium ]; then
  echo "play-first-use.sh: the Windows hostsim has no Chromium: leave out --browser with --windows" >&2
  exit 2
fi
webapp_program="$build/webapp/kavelo-webapp"
webapp_args=()
ready_line='^images: '  # the last line it prints once serving
if [ "$windows" = 1 ]; then
  webapp_program="${KAVELO_NATIVE_BUILD:-build/release}/webapp/kavelo-webapp"
  webapp_args=(--connect-proxy)
  ready_line='^proxy: '
fi
# KAVELO_DEMO_DIR names the folder for the run's data (emptied first); by default a new one under /tmp.
if [ -n "${KAVELO_DEMO_DIR:-}" ]; then
  data="$KAVELO_DEMO_DIR"
  rm -rf "$data"
  mkdir -p "$data"
else
  data=$(mktemp -d /tmp/kavelo-demo-XXXXXX)
fi
webapp_log="$data/webapp.log"
mkfifo "$data/webapp.stdin"

# The web application runs until its standard input closes.
"$webapp_program" --data-dir "$data/webapp" --until-stdin-closes "${webapp_args[@]}" <"$data/webapp.stdin" >"$webapp_log" 2>&1 &
webapp_pid=$!
exec 3>"$data/webapp.stdin"
stop_webapp() { exec 3>&-; wait "$webapp_pid" 2>/dev/null || true; }
trap stop_webapp EXIT

for _ in $(seq 100); do
  grep -q "$ready_line" "$webapp_log" && break
  sleep 0.1
done
port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$webapp_log")
ca=$(sed -n 's/^ca: //p' "$webapp_log")
if [ -z "$port" ] || [ -z "$ca" ]; then
  echo "The web application stand-in did not start:" >&2
  cat "$webapp_log" >&2
  exit 1
fi
hostsim=("$build/hostsim/hostsim")
args=(--module "$build/Src/KAVELO.apx" --data-dir "$data/host" --window 1280x720
      --route "app.kavelo.io:443=127.0.0.1:$port" --trust "$ca" --browser "$browser")
if [ "$windows" = 1 ]; then
  proxy=$(sed -n 's/^proxy: //p' "$webapp_log")
  echo "Web application stand-in: https://app.kavelo.io at 127.0.0.1:$port, reached by WinHTTP through the CONNECT proxy at $proxy (CA $ca)"
  export http_proxy="http://$proxy"
  prefix="${KAVELO_WINEPREFIX:-$(cd "$build" && pwd)/wineprefix}"
  # A first use: the prefix's user has linked no account yet (the module keeps the link in the user's
  # roaming folder, which an earlier run in this prefix may have left).
  rm -rf "$prefix"/drive_c/users/*/AppData/Roaming/KAVELO
  # The shell of the prefix opens https URLs with the recorder, which hands them to hostsim's browser.
  tools/wine-run.sh "$prefix" "$build/bin/kavelo-url-recorder.exe" --register >/dev/null
  hostsim=(tools/wine-run.sh "$prefix" "$build/bin/hostsim.exe")
  if [ "$interactive" = 1 ]; then
    hostsim=(tools/wine-run.sh "$prefix" --keep-stdin "$build/bin/hostsim.exe")
  fi
  args=(--module "${KAVELO_MODULE:-$build/bin/KAVELO.apx}" --data-dir "$data/host" --window 1280x720 --trust "$ca"
        --browser "$browser")
else
  echo "Web application stand-in: https://app.kavelo.io routed to 127.0.0.1:$port (CA $ca)"
fi
if [ "$browser" = chromium ]; then
  args+=(--screenshots "$data/screenshots")
fi
if [ "$interactive" = 1 ]; then
  args+=(--interactive --hide-debug)
else
  args+=(--script hostsim/scenarios/first-use.hostsim)
fi
status=0
if [ "$interactive" = 1 ]; then
  "${hostsim[@]}" "${args[@]}" || status=$?
else
  # The full account (debug lines included) goes to a log; the readable part is shown here.
  "${hostsim[@]}" "${args[@]}" >"$data/hostsim.log" 2>&1 || status=$?
  grep -E '^(menu: [^h]|dialog |process window: |  (buttons|user):|browser: (open|login)|host: (view saved|unloaded)|debug: ImageID|summary:|EXPECTATION FAILED|error:)' \
    "$data/hostsim.log" | sed -e 's/^/  /'
  echo "  (everything hostsim printed, debug lines included: $data/hostsim.log)"
fi

echo
echo "The web application keeps the uploaded images in $data/webapp/images:"
ls -l "$data/webapp/images" 2>/dev/null | sed -n '2,$p' || true
if [ "$browser" = chromium ]; then
  echo
  echo "Screenshots of the pages in the browser (the login page after \"Confirm\", the live page after the export):"
  shots=0
  for shot in "$data"/screenshots/*-login.png "$data"/screenshots/*-live.png; do
    if [ -s "$shot" ]; then
      echo "  $shot"
      shots=$((shots + 1))
    fi
  done
  if [ "$interactive" = 0 ] && [ "$shots" -ne 2 ] && [ "$status" -eq 0 ]; then
    echo "FAILED: the browser did not keep both screenshots." >&2
    exit 1
  fi
fi
if [ "$interactive" = 1 ]; then
  echo "Session ended (hostsim exit status $status)."
  exit "$status"
fi
if [ "$status" -ne 0 ]; then
  echo "FAILED: a step of the first use did not go as expected (hostsim exit status $status)." >&2
  exit "$status"
fi
echo "Done: linked, exported and uploaded; the module unloaded cleanly."
