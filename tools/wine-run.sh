#!/bin/sh
# Runs a Windows program of the cross build under Wine: wine-run.sh PREFIX PROGRAM [ARGUMENT...]
# PREFIX is the build's own throwaway Wine prefix, made on first use. Wine stays quiet and headless: no
# debug channels, no display, no Gecko or Mono installer dialogs, no menu entries.
set -e
prefix="$1"
shift
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  # Two tests may start at once on a fresh prefix; one of them makes it.
  (
    flock 9
    [ -f "$prefix/system.reg" ] || wineboot -i >/dev/null 2>&1 </dev/null
  ) 9>"$prefix.lock"
fi
exec wine "$@"
