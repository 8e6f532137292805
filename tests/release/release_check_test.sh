#!/usr/bin/env bash
# The release workflow's checks (scripts/release-check.sh) with a fault planted for each: a kit whose
# download differs from its recorded SHA-256, a kit whose hash is not recorded, a tag that does not match
# project(VERSION), a versions file with a kit unrecorded. release_check_test.sh WORK
set -euo pipefail
cd "$(dirname "$0")/../.."
mkdir -p "$1"
work=$(cd "$1" && pwd)
version=$(sed -n 's/^project(KAVELO VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
source tests/release/checks.sh
run() {  # run NAME ARGS...: the check's output in WORK/NAME.txt, its exit code in status
  local name="$1"
  shift
  status=0
  scripts/release-check.sh "$@" >"$work/$name.txt" 2>&1 || status=$?
}

head -c 4096 /dev/urandom >"$work/devkit.zip"
hash=$(sha256sum "$work/devkit.zip" | cut -d' ' -f1)
wrong=$(printf '%s' "$hash" | tr '0-9a-f' '1-9a-f0')

run recorded kit 27 27.6003 "$work/devkit.zip" "$hash"
check "a kit as recorded passes" test "$status" = 0
check "saying its version and hash" says "$work/recorded.txt" "Archicad 27 DevKit 27.6003: SHA-256 $hash, as recorded"
run mismatch kit 27 27.6003 "$work/devkit.zip" "$wrong"
check "a kit that differs from its recorded hash fails" test "$status" = 1
check "naming both hashes" says "$work/mismatch.txt" "SHA-256 $hash, not $wrong as .github/archicad-devkits.json records it"
run mismatch-by-hand kit 27 27.6003 "$work/devkit.zip" "$wrong" --unrecorded-allowed
check "even in a run started by hand" test "$status" = 1
run unrecorded kit 28 28.4001 "$work/devkit.zip" ""
check "a tag's run refuses a kit whose hash is not recorded" test "$status" = 1
check "saying so" says "$work/unrecorded.txt" "not recorded in .github/archicad-devkits.json: a release builds only recorded kits"
run by-hand kit 28 28.4001 "$work/devkit.zip" "" --unrecorded-allowed
check "a run started by hand builds it" test "$status" = 0
check "printing the hash to record" says "$work/by-hand.txt" \
  "Archicad 28 DevKit 28.4001: SHA-256 $hash, not recorded: record it in .github/archicad-devkits.json"

run tag tag "v$version"
check "the tag of the project's version passes" test "$status" = 0
run other-tag tag "v$version.1"
check "a tag that does not match project(VERSION) fails" test "$status" = 1
check "naming both" says "$work/other-tag.txt" "the tag v$version.1 does not match project(VERSION) $version"
run bare-tag tag "$version"
check "a tag without its v fails" test "$status" = 1

jq '.include[].sha256 = "'"$hash"'"' .github/archicad-devkits.json >"$work/pinned.json"
run pinned pinned "$work/pinned.json"
check "a versions file with every hash recorded passes" test "$status" = 0
jq '.include[1].sha256 = ""' "$work/pinned.json" >"$work/unpinned.json"
run unpinned pinned "$work/unpinned.json"
check "one with a kit unrecorded fails" test "$status" = 1
check "naming it" says "$work/unpinned.txt" "records no SHA-256 for Archicad 28 (28."
[ "$failed" = 0 ]
