#!/usr/bin/env bash
# The release workflow's checks (.github/workflows/release.yml), which run here as well:
#   release-check.sh kit ARCHICAD RELEASE ZIP RECORDED [--unrecorded-allowed]
#       ZIP is Archicad ARCHICAD's DevKit of the vendor's release RELEASE; RECORDED is its SHA-256 as
#       .github/archicad-devkits.json records it, or empty where it is not yet known. Prints the kit, its
#       SHA-256 and the verdict; fails on a mismatch, and on an unrecorded hash unless
#       --unrecorded-allowed (a run started by hand, which never publishes), where it prints the hash to
#       record.
#   release-check.sh tag TAG
#       fails unless TAG is v<version> of project(VERSION) in CMakeLists.txt.
#   release-check.sh pinned [VERSIONS]
#       fails unless every kit of VERSIONS (.github/archicad-devkits.json) has its SHA-256 recorded (jq).
# Each prints one line for the run's summary; a failure says why on standard error, exit code 1.
set -euo pipefail
start="$PWD"
cd "$(dirname "$0")/.."
usage="usage: release-check.sh kit ARCHICAD RELEASE ZIP RECORDED [--unrecorded-allowed] | tag TAG | pinned [VERSIONS]"

case "${1:-}" in
kit)
  [ $# = 5 ] || { [ $# = 6 ] && [ "$6" = --unrecorded-allowed ]; } || { echo "$usage" >&2; exit 2; }
  archicad="$2" release="$3" zip="$4" recorded="$5"
  [ -f "$zip" ] || { echo "release-check.sh: no DevKit $zip" >&2; exit 1; }
  actual=$(sha256sum "$zip" | cut -d' ' -f1)
  what="Archicad $archicad DevKit $release: SHA-256 $actual"
  if [ -z "$recorded" ]; then
    if [ $# = 6 ]; then
      echo "$what, not recorded: record it in .github/archicad-devkits.json; a build of an unrecorded kit is never released"
      exit 0
    fi
    echo "$what, not recorded in .github/archicad-devkits.json: a release builds only recorded kits (a run started by hand prints the hash to record)" >&2
    exit 1
  fi
  if [ "$actual" != "$recorded" ]; then
    echo "$what, not $recorded as .github/archicad-devkits.json records it: the download is not the recorded kit" >&2
    exit 1
  fi
  echo "$what, as recorded"
  ;;
tag)
  [ $# = 2 ] || { echo "$usage" >&2; exit 2; }
  version=$(sed -n 's/^project(KAVELO VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
  if [ "$2" != "v$version" ]; then
    echo "release-check.sh: the tag $2 does not match project(VERSION) $version of CMakeLists.txt (the tag must be v$version)" >&2
    exit 1
  fi
  echo "Tag $2 matches project(VERSION) $version"
  ;;
pinned)
  [ $# -le 2 ] || { echo "$usage" >&2; exit 2; }
  versions=.github/archicad-devkits.json
  [ $# = 1 ] || versions=$(cd "$start" && realpath "$2")
  unrecorded=$(jq -r '.include[] | select((.sha256 // "") == "") | "\(.archicad) (\(.devkit))"' "$versions")
  if [ -n "$unrecorded" ]; then
    echo "release-check.sh: $versions records no SHA-256 for Archicad $(paste -sd, <<<"$unrecorded" |
      sed 's/,/, /g'): a release builds only recorded kits" >&2
    exit 1
  fi
  echo "Every DevKit's SHA-256 is recorded"
  ;;
*)
  echo "$usage" >&2
  exit 2
  ;;
esac
