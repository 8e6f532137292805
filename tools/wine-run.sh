#!/bin/sh
# Runs Windows programs of the cross build under Wine, quiet and headless, in the build's own throwaway
# prefix (made on first use):
#   wine-run.sh PREFIX PROGRAM [ARGUMENT...]   runs one program, with no standard input
#   wine-run.sh PREFIX --keep-stdin PROGRAM [ARGUMENT...]
#                                              the same, reading this script's standard input
#   wine-run.sh PREFIX --start                 makes the prefix and keeps a wineserver running for it
#   wine-run.sh PREFIX --stop                  stops that wineserver
# No debug channels, no display, no Gecko or Mono installer dialogs, no menu entries.
set -e
prefix="$1"
shift
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
if [ "${1:-}" = "--stop" ]; then
  wineserver -k 2>/dev/null || true
  exit 0
fi
if [ "${1:-}" = "--start" ]; then
  # First the server, so that the one wineboot uses below is already the one that stays.
  mkdir -p "$prefix"
  wineserver -p || true  # one running already serves as well
fi
# The prefix is ready once wineboot has made it (this marker; the registry files appear only when a
# wineserver saves them). wineboot's status is not a verdict: without 32-bit Wine it reports the parts
# it could not set up, which 64-bit programs never need.
ready="$prefix/.kavelo-prefix-ready"
if [ ! -f "$ready" ]; then
  mkdir -p "$prefix"
  # Two tests may start at once on a fresh prefix; one of them makes it.
  (
    flock 9
    if [ ! -f "$ready" ]; then
      wineboot -i >/dev/null 2>&1 </dev/null || true
      [ -d "$prefix/drive_c/windows/system32" ] || { echo "wine-run.sh: wineboot did not make $prefix" >&2; exit 1; }
      # Wine's display-less driver: a program that makes a window (a console host, a COM apartment) gets
      # one, instead of an error and an attempt to start a desktop that fails for want of an X server.
      wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 </dev/null ||
        { echo "wine-run.sh: cannot choose Wine's null display driver in $prefix" >&2; exit 1; }
      touch "$ready"
    fi
  ) 9>"$prefix.lock"
fi
if [ "${1:-}" = "--start" ]; then
  # Wine's services start with the first program; let that be this quiet one, so that they do not
  # inherit the descriptors of a test's program.
  wine wineboot >/dev/null 2>&1 </dev/null || true
  exit 0
fi
if [ "${1:-}" = "--keep-stdin" ]; then
  shift
  exec wine "$@"
fi
exec wine "$@" </dev/null
