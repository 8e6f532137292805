#!/usr/bin/env bash
# The Windows installer under Wine, as an IT administrator runs it, and in the case pages as a person does,
# its windows on a virtual display (Xvfb; click_through.exe reads and clicks them, xwd pictures them into
# WORK/pictures): installer_test.sh BUILD WORK CASE
#   BUILD  the windows-preset build (its KAVELO.apx, hostsim.exe)
#   WORK   this suite's folder in the build; CASE package makes the package and the base prefix there,
#          every other case runs in a throwaway prefix of its own made from that base
# Archicad installations are made in the prefix as their installer leaves them: an Uninstall entry, a
# folder with an add-ons folder holding a built-in add-on. The export runs against the web application
# stand-in of the native build (KAVELO_NATIVE_BUILD). With KAVELO_INSTALLER_SETUP and KAVELO_INSTALLER_MODULE
# (an installer made elsewhere and the Archicad 28 module it carries), the cases test that installer, and
# the case package only makes the base prefix (scripts/release-package.sh).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(cd "$1" && pwd)
mkdir -p "$2"
work=$(cd "$2" && pwd)
case_name="$3"
base="$work/base-prefix"
version=$(sed -n 's/^project(KAVELO VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
# The stand-in's module is packed as a test build, named as one.
setup="${KAVELO_INSTALLER_SETUP:-$work/package/KAVELO-$version-TEST-Setup.exe}"
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\KAVELO'
passed=0
failed=0

check() {  # check DESCRIPTION COMMAND...: one observation, counted
  local what="$1"
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $what" >&2
  fi
}
wr() { tools/wine-run.sh "$prefix" "$@"; }
# The Unix path of a C:\ path in the prefix.
unix() { local path="${1#C:\\}"; printf '%s/drive_c/%s' "$prefix" "${path//\\//}"; }

# A fresh prefix from the base: its files hard-linked (Windows' own folder is most of its 700 MB), the
# registry files copied, as Wine replaces them.
new_prefix() {
  prefix="$work/$1"
  stop_prefix
  rm -rf "$prefix"
  cp -al "$base" "$prefix"
  rm -f "$prefix"/*.reg
  cp -p "$base"/*.reg "$prefix"/
  : >"$prefix/setup.reg.txt"
}
stop_prefix() { [ ! -d "${prefix:-}" ] || WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true; }
registry() { printf '%s\r\n' "$@" >>"$prefix/setup.reg.txt"; }
# archicad N FOLDER ENTRY_NAME [ADD_ONS]: an installation of Archicad N in FOLDER (a C:\ path written as
# its Uninstall entry has it, trailing backslash and all), named ENTRY_NAME in its entry ("" for none),
# whose key is then archicad_key.
entries=0
archicad() {
  local folder
  folder=$(unix "$2")
  folder="${folder%/}"
  mkdir -p "$folder/${4:-Add-Ons}/Built-In"
  head -c 4096 /dev/urandom >"$folder/${4:-Add-Ons}/Built-In/Built-In.apx"
  cp "$prefix/drive_c/windows/system32/notepad.exe" "$folder/Archicad.exe"
  if [ -n "$3" ]; then
    entries=$((entries + 1))
    archicad_key="HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{KAVELO-test-$entries}"
    registry "[$archicad_key]" \
      "\"DisplayName\"=\"$3\"" "\"InstallLocation\"=\"${2//\\/\\\\}\"" ""
  fi
}
import_registry() {
  { printf '\xff\xfe'; { printf 'Windows Registry Editor Version 5.00\r\n\r\n'; cat "$prefix/setup.reg.txt"; } |
      iconv -f UTF-8 -t UTF-16LE; } >"$prefix/setup.reg"
  wr reg import 'Z:'"$(printf '%s' "$prefix/setup.reg" | tr / '\\')" >/dev/null 2>&1
}
value() { wr reg query "$entry" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_[A-Z_]* *//p"; }
entry_absent() { ! wr reg query "$entry" >/dev/null 2>&1; }
# What a program left in the prefix's C: drive, Windows' own folder and temporary files aside.
listing() { (cd "$prefix/drive_c" && find . -path ./windows -prune -o -path '*/Temp' -prune -o -print | sort); }
exit_code() { local status=0; wr "$@" || status=$?; echo "$status"; }
same() { cmp -s "$1" "$2"; }
fails() { ! "$@"; }
count() { find "$1" -name "$2" | wc -l; }
ends() { kill "$1" 2>/dev/null || true; wait "$1" 2>/dev/null || true; }
# wait_until, and the signing authorities of the case signing (make_signing_pki, start_tsa).
source tests/installer/support.sh
# The cases rename-race and causes (case_rename_race, case_causes).
source tests/installer/held_paths.sh
# Starts a program named Archicad.exe and waits until the prefix's process list (as winedbg reads it)
# has it; archicad_pid is its process here.
archicad_listed() { wr winedbg --command "info proc" 2>/dev/null | grep -q "'Archicad.exe'"; }
start_archicad() {
  tools/wine-run.sh "$prefix" "$1" >/dev/null 2>&1 &
  archicad_pid=$!
  wait_until archicad_listed || { echo "Archicad.exe did not start" >&2; return 1; }
}
stop_archicad() { ends "$archicad_pid"; }
# hold C:\PATH: a program holds the file open as a running Archicad holds its add-ons, until release.
hold() {
  : >"$work/hold.out"
  tools/wine-run.sh "$prefix" "$KAVELO_HOLD_FILE" "$1" 90 >"$work/hold.out" 2>&1 &
  hold_pid=$!
  wait_until grep -q held "$work/hold.out" || { echo "hold_file.exe did not hold $1" >&2; return 1; }
}
release() { ends "$hold_pid"; }
# The uninstaller run in place (_?=, a folder without spaces: Wine quotes an argument with one) from a
# copy, so that its exit code is seen; it stays behind there.
uninstall_in_place() {
  mkdir -p "$(unix 'C:\in-place')"
  cp "$(unix 'C:\Program Files\KAVELO\Uninstall.exe')" "$(unix 'C:\in-place\Uninstall.exe')"
  exit_code 'C:\in-place\Uninstall.exe' /S '_?=C:\in-place'
}
# QuietUninstallString run as it stands, as deployment tools run it (a batch file: Wine would quote its
# quotes again as an argument of cmd /c); the uninstaller runs on from a copy of itself after that.
quiet_uninstall() {
  printf '%s\r\n' "$(value QuietUninstallString)" >"$work/quiet-uninstall.bat"
  wr cmd /c "Z:$(printf '%s' "$work/quiet-uninstall.bat" | tr / '\\')" >/dev/null
  WINEPREFIX="$prefix" wineserver -w
}
records() { wr reg query "$entry" 2>/dev/null | grep -cE '^ *Module[0-9]+ +REG_' || true; }
log_text() { iconv -f UTF-16 -t UTF-8 "$(unix 'C:\Program Files\KAVELO\install.log')" | tr -d '\r'; }
module="${KAVELO_INSTALLER_MODULE:-$build/bin/KAVELO.apx}"
trap stop_prefix EXIT

# Packs the stand-in's module as a test build, after showing that a release refuses it and writes nothing.
package_stand_in() {
  local status=0
  scripts/package.sh --build-dir "$build" --module 28="$module" --out "$work/package" 2>"$work/refused.txt" || status=$?
  check "a release refuses the stand-in's module, exit 2" test "$status" = 2
  check "the refusal names the module and why" grep -qF "$module: imports kavelohost.dll" "$work/refused.txt"
  check "a refused release writes nothing" test ! -e "$work/package"
  status=0
  scripts/package.sh --out "$work/package" 2>"$work/refused.txt" || status=$?
  check "a release without modules says where they come from, exit 2" test "$status" = 2
  check "and names the release workflow" grep -qF ".github/workflows/release.yml" "$work/refused.txt"
  scripts/package.sh --test-build --build-dir "$build" --out "$work/package" >/dev/null
  check "the installer is written" test -s "$setup"
  check "the zip holds the module" test "$(cd "$work" && cmake -E tar tf "package/KAVELO-$version-TEST.zip" |
    grep -c "^KAVELO-$version-TEST/Archicad 28/KAVELO.apx$")" = 1
}

case "$case_name" in
package)
  find "$work" -mindepth 1 -maxdepth 1 -exec rm -rf {} +
  [ -n "${KAVELO_INSTALLER_SETUP:-}" ] || package_stand_in
  prefix="$base"
  tools/wine-run.sh "$base" --start
  tools/wine-run.sh "$base" --stop
  # The registry files appear once the prefix's wineserver has ended and saved them.
  WINEPREFIX="$base" wineserver -w
  check "the base prefix is made" test -f "$base/system.reg"
  prefix=""
  ;;

install)
  new_prefix install
  archicad 28 'C:\Program Files\GRAPHISOFT\Archicad 28' "Archicad 28"
  home=$(unix 'C:\Program Files\GRAPHISOFT\Archicad 28')
  mkdir -p "$home/Add-Ons/Legacy"
  cp "$module" "$home/Add-Ons/Legacy/KAVELO old.apx"
  import_registry
  check "the installer succeeds" test "$(exit_code "$setup" /S)" = 0
  check "the module arrives byte for byte" same "$module" "$home/Add-Ons/KAVELO/KAVELO.apx"
  check "DisplayName" test "$(value DisplayName)" = "KAVELO (test build, not for distribution)"
  check "DisplayVersion" test "$(value DisplayVersion)" = "$version"
  check "Publisher" test "$(value Publisher)" = KAVELO
  check "InstallLocation" test "$(value InstallLocation)" = 'C:\Program Files\KAVELO'
  check "UninstallString" test "$(value UninstallString)" = '"C:\Program Files\KAVELO\Uninstall.exe"'
  check "QuietUninstallString" test "$(value QuietUninstallString)" = '"C:\Program Files\KAVELO\Uninstall.exe" /S'
  size_kb=$(( $(printf '%d' "$(value EstimatedSize)") ))
  check "EstimatedSize is the module's in KB" test "$size_kb" -ge $(( $(stat -c %s "$module") / 1024 ))
  check "the uninstaller is written" test -f "$(unix 'C:\Program Files\KAVELO\Uninstall.exe')"
  check "the other copy with our identifier is named" grep -q "KAVELO old.apx" \
    <(iconv -f UTF-16 -t UTF-8 "$(unix 'C:\Program Files\KAVELO\install.log')")
  check "the other copy is left where it is" same "$module" "$home/Add-Ons/Legacy/KAVELO old.apx"
  check "a second install succeeds" test "$(exit_code "$setup" /S)" = 0
  check "a second install leaves one copy" test "$(count "$home" KAVELO.apx)" = 1
  check "a second install records one module" test "$(records)" = 1
  # hostsim loads the installed module from there and runs the main job against the stand-in.
  status=0
  KAVELO_MODULE='C:\Program Files\GRAPHISOFT\Archicad 28\Add-Ons\KAVELO\KAVELO.apx' KAVELO_WINEPREFIX="$prefix" \
    KAVELO_DEMO_DIR="$work/install-export" scripts/play-first-use.sh "$build" --windows >/dev/null || status=$?
  check "hostsim runs the main job with the installed module" test "$status" = 0
  check "the stored image is the JPEG hostsim wrote" same "$(find "$work/install-export/webapp/images" -type f | head -1)" \
    "$work/install-export/host/SavedView.jpeg"
  check "hostsim loaded the installed module" grep -qF \
    'host: unloaded C:\Program Files\GRAPHISOFT\Archicad 28\Add-Ons\KAVELO\KAVELO.apx;' "$work/install-export/hostsim.log"
  # Archicad 28 removed (its uninstaller leaves the add-ons it did not install) and installed anew
  # elsewhere: the next install moves the module there, one copy again.
  rm "$home/Archicad.exe"
  archicad 28 'C:\Archicad 28' ""
  wr reg add "$archicad_key" /v InstallLocation /d 'C:\Archicad 28' /f >/dev/null 2>&1
  check "an upgrade succeeds" test "$(exit_code "$setup" /S)" = 0
  check "an upgrade puts the module where Archicad now is" same "$module" "$(unix 'C:\Archicad 28\Add-Ons\KAVELO\KAVELO.apx')"
  check "an upgrade removes the earlier install's module and folder" test ! -e "$home/Add-Ons/KAVELO"
  check "an upgrade records one module" test "$(records)" = 1
  ;;

refusals)
  new_prefix refusals-running
  archicad 28 'C:\Program Files\GRAPHISOFT\Archicad 28' "Archicad 28"
  import_registry
  start_archicad 'C:\Program Files\GRAPHISOFT\Archicad 28\Archicad.exe'
  before=$(listing)
  check "refused while Archicad runs, exit 3" test "$(exit_code "$setup" /S)" = 3
  check "nothing written while Archicad runs" test "$(listing)" = "$before"
  check "no entry while Archicad runs" entry_absent
  stop_archicad
  stop_prefix

  new_prefix refusals-none
  # A folder named as Archicad's, without its program, and an entry that is no Archicad.
  mkdir -p "$(unix 'C:\Program Files\GRAPHISOFT\Archicad 28\Add-Ons')"
  archicad 28 'C:\Program Files\GRAPHISOFT\Hotfix Helper' "Archicad 28 Hotfix Helper"
  rm "$(unix 'C:\Program Files\GRAPHISOFT\Hotfix Helper\Archicad.exe')"
  import_registry
  before=$(listing)
  check "refused without Archicad, exit 4" test "$(exit_code "$setup" /S)" = 4
  check "nothing written without Archicad" test "$(listing)" = "$before"
  check "no entry without Archicad" entry_absent
  stop_prefix

  # Someone who cannot write the installer's folder under Program Files is no administrator (Wine runs
  # everyone as one): a file stands in that folder's place.
  new_prefix refusals-not-admin
  archicad 28 'C:\Program Files\GRAPHISOFT\Archicad 28' "Archicad 28"
  import_registry
  echo "not a folder" >"$(unix 'C:\Program Files\KAVELO')"
  before=$(listing)
  check "refused where its folder cannot be written, exit 5" test "$(exit_code "$setup" /S)" = 5
  check "nothing written without administrator rights" test "$(listing)" = "$before"
  check "no entry without administrator rights" entry_absent
  stop_prefix

  # A second Archicad 28 whose add-ons folder holds a file named KAVELO: the installer stops there, and
  # the uninstaller still takes away what it wrote before.
  new_prefix refusals-unwritable
  archicad 28 'C:\Program Files\GRAPHISOFT\Archicad 28' "Archicad 28"
  archicad 28 'C:\Archicad 28 copy' "Archicad 28"
  echo "not a folder" >"$(unix 'C:\Archicad 28 copy\Add-Ons\KAVELO')"
  import_registry
  before=$(listing)
  check "a file that cannot be written stops the install, exit 2" test "$(exit_code "$setup" /S)" = 2
  check "what was written before is there" test -f "$(unix 'C:\Program Files\GRAPHISOFT\Archicad 28\Add-Ons\KAVELO\KAVELO.apx')"
  wr 'C:\Program Files\KAVELO\Uninstall.exe' /S
  WINEPREFIX="$prefix" wineserver -w
  check "the uninstaller takes away what the stopped install wrote" test "$(listing)" = "$before"
  check "the entry is gone after the stopped install" entry_absent
  ;;

versions)
  new_prefix versions
  # Archicad 27 (which this package has no module for), Archicad 28 elsewhere with its add-ons folder
  # named in another language, written with a trailing backslash and in capitals, and started by the
  # user (the per-user key names the same program), and a decoy entry.
  archicad 27 'C:\Program Files\GRAPHISOFT\Archicad 27' "ARCHICAD 27"
  archicad 28 'C:\Apps\AC 28\' "ARCHICAD 28" Zusatzprogramme
  registry '[HKEY_CURRENT_USER\Software\GRAPHISOFT\ARCHICAD\ARCHICAD 28.0.0 GER R1]' \
    '@="C:\\APPS\\AC 28\\Archicad.exe"'
  archicad 28 'C:\Program Files\GRAPHISOFT\Hotfix Helper' "Archicad 28 Hotfix Helper"
  # A folder named only by a per-user key, which any program the user runs can write: the elevated
  # installer does not read it.
  archicad 28 'C:\AC28 INT' ""
  registry '[HKEY_CURRENT_USER\Software\GRAPHISOFT\ARCHICAD\ARCHICAD 28.0.0 INT R1]' \
    '@="C:\\AC28 INT\\Archicad.exe"'
  import_registry
  check "the installer succeeds" test "$(exit_code "$setup" /S)" = 0
  check "a per-user key alone names no Archicad" test "$(count "$(unix 'C:\AC28 INT')" KAVELO.apx)" = 0
  check "Archicad 28 gets the module in its add-ons folder" same "$module" \
    "$(unix 'C:\Apps\AC 28\Zusatzprogramme\KAVELO\KAVELO.apx')"
  check "Archicad 28 gets one copy" test "$(count "$(unix 'C:\Apps')" KAVELO.apx)" = 1
  check "Archicad 27 gets none" test "$(count "$(unix 'C:\Program Files\GRAPHISOFT\Archicad 27')" KAVELO.apx)" = 0
  check "the decoy gets none" test "$(count "$(unix 'C:\Program Files\GRAPHISOFT\Hotfix Helper')" KAVELO.apx)" = 0
  ;;

uninstall)
  new_prefix uninstall
  archicad 28 'C:\Program Files\GRAPHISOFT\Archicad 28' "Archicad 28"
  import_registry
  home=$(unix 'C:\Program Files\GRAPHISOFT\Archicad 28')
  cp "$home/Add-Ons/Built-In/Built-In.apx" "$work/built-in.apx"
  before=$(listing)
  check "the installer succeeds" test "$(exit_code "$setup" /S)" = 0
  # Run in place (_?=, which must name a folder without spaces: Wine quotes an argument with one), the
  # uninstaller reports its refusal in its exit code.
  mkdir -p "$(unix 'C:\in-place')"
  cp "$(unix 'C:\Program Files\KAVELO\Uninstall.exe')" "$(unix 'C:\in-place\Uninstall.exe')"
  start_archicad 'C:\Program Files\GRAPHISOFT\Archicad 28\Archicad.exe'
  check "the uninstaller refuses while Archicad runs" \
    test "$(exit_code 'C:\in-place\Uninstall.exe' /S '_?=C:\in-place')" = 3
  rm -r "$(unix 'C:\in-place')"
  check "the refused uninstaller leaves the module" same "$module" "$home/Add-Ons/KAVELO/KAVELO.apx"
  stop_archicad
  # QuietUninstallString run as it stands, as deployment tools run it (a batch file: Wine would quote
  # its quotes again as an argument of cmd /c).
  printf '%s\r\n' "$(value QuietUninstallString)" >"$work/quiet-uninstall.bat"
  wr cmd /c "Z:$(printf '%s' "$work/quiet-uninstall.bat" | tr / '\\')" >/dev/null
  # The uninstaller runs on from a copy of itself after the program started here has returned.
  WINEPREFIX="$prefix" wineserver -w
  check "everything the installer put is gone" test "$(listing)" = "$before"
  check "the entry is gone" entry_absent
  check "the built-in add-on is untouched" same "$work/built-in.apx" "$home/Add-Ons/Built-In/Built-In.apx"
  ;;

beyond-ascii)
  # An Archicad folder named beyond ASCII and with spaces, as a user or IT may choose it.
  new_prefix beyond-ascii
  folder='C:\Program Files\GRAPHISOFT\Archicad 28 Zoë Müller 日本'
  archicad 28 "$folder" "Archicad 28"
  import_registry
  before=$(listing)
  check "the installer succeeds" test "$(exit_code "$setup" /S)" = 0
  check "the module arrives byte for byte" same "$module" "$(unix "$folder\Add-Ons\KAVELO\KAVELO.apx")"
  # (reg.exe prints in the console's code page, so the path is read from the UTF-16 log.)
  check "the log names its folder" grep -qxF "Archicad 28: installed in $folder\Add-Ons\KAVELO" \
    <(iconv -f UTF-16 -t UTF-8 "$(unix 'C:\Program Files\KAVELO\install.log')" | tr -d '\r')
  wr 'C:\Program Files\KAVELO\Uninstall.exe' /S
  WINEPREFIX="$prefix" wineserver -w
  check "the uninstaller takes it all away again" test "$(listing)" = "$before"
  check "the entry is gone" entry_absent
  ;;

plug-ins)
  # Another user plants DLLs named as NSIS's plug-ins in the temporary folders an elevated installer may
  # use (the user's and Windows' own), and folders named as NSIS names its plug-ins folder.
  new_prefix plug-ins
  archicad 28 'C:\Program Files\GRAPHISOFT\Archicad 28' "Archicad 28"
  import_registry
  mark=$(unix 'C:\planted-dll-loaded.txt')
  cp "$KAVELO_PLANTED_DLL" "$(unix 'C:\planted.dll')"
  wr rundll32 'C:\planted.dll,Entry' >/dev/null 2>&1 || true
  check "a planted DLL leaves its mark when it is loaded" test -f "$mark"
  rm -f "$mark"
  temps=("$(unix 'C:\windows\temp')" "$(find "$prefix/drive_c/users" -maxdepth 4 -iname temp -type d | head -1)")
  plant() { for dll in System UserInfo nsDialogs StartMenu LangDLL; do cp "$KAVELO_PLANTED_DLL" "$1/$dll.dll"; done; }
  for temp in "${temps[@]}"; do
    mkdir -p "$temp"
    plant "$temp"
    for n in 0 1 2 3 4 5 6 7 8 9 a b c d e f; do
      mkdir -p "$temp/ns${n}000.tmp"
      plant "$temp/ns${n}000.tmp"
    done
  done
  # Wine names every DLL a program loads: the installer's and the uninstaller's are Windows' own.
  WINEDEBUG=+loaddll wr "$setup" /S 2>"$work/plug-ins-install.log" || true
  check "the installer succeeds among planted plug-ins" test "$(value DisplayName)" = "KAVELO (test build, not for distribution)"
  WINEDEBUG=+loaddll quiet_uninstall 2>"$work/plug-ins-uninstall.log"
  check "the uninstaller succeeds among planted plug-ins" entry_absent
  for part in install uninstall; do
    check "the ${part}er loads Windows' DLLs only" fails grep -v -i 'L"C:\\\\windows\\\\' \
      <(grep -i 'trace:loaddll:build_module Loaded L".*\.dll"' "$work/plug-ins-$part.log")
  done
  check "no planted DLL was loaded" test ! -e "$mark"
  ;;

links)
  # An Archicad outside Program Files, whose folder its users can write: its Add-Ons is a link to Windows'
  # system folder.
  new_prefix links
  archicad 28 'C:\AC linked' "Archicad 28"
  rm -r "$(unix 'C:\AC linked\Add-Ons')"
  ln -s "$(unix 'C:\windows\system32')" "$(unix 'C:\AC linked\Add-Ons')"
  import_registry
  before=$(listing)
  check "a linked add-ons folder is refused, exit 7" test "$(exit_code "$setup" /S)" = 7
  check "nothing written through the link" test ! -e "$(unix 'C:\windows\system32\KAVELO')"
  check "nothing written at all" test "$(listing)" = "$before"
  check "no entry for a linked add-ons folder" entry_absent
  stop_prefix

  # The same made one step further down: a KAVELO folder that is a link, and a KAVELO.apx that is a
  # second name of a file of Windows' (a write to it would change that file).
  new_prefix links-below
  archicad 28 'C:\AC folder link' "Archicad 28"
  ln -s "$(unix 'C:\windows\system32')" "$(unix 'C:\AC folder link\Add-Ons\KAVELO')"
  archicad 28 'C:\AC file link' "Archicad 28"
  mkdir -p "$(unix 'C:\AC file link\Add-Ons\KAVELO')"
  ln "$(unix 'C:\windows\win.ini')" "$(unix 'C:\AC file link\Add-Ons\KAVELO\KAVELO.apx')"
  cp "$(unix 'C:\windows\win.ini')" "$work/win.ini"
  import_registry
  check "linked KAVELO folders and files are refused, exit 7" test "$(exit_code "$setup" /S)" = 7
  check "nothing written through the folder link" test ! -e "$(unix 'C:\windows\system32\KAVELO.apx')"
  check "nothing written through the second name" same "$work/win.ini" "$(unix 'C:\windows\win.ini')"
  check "no entry for linked KAVELO folders and files" entry_absent
  stop_prefix

  # Installed into such an Archicad; then its Add-Ons is made a link to another folder that holds a
  # KAVELO.apx, byte for byte ours: the uninstaller deletes nothing there and keeps its entry.
  new_prefix links-uninstall
  archicad 28 'C:\AC' "Archicad 28"
  import_registry
  check "the installer succeeds" test "$(exit_code "$setup" /S)" = 0
  home=$(unix 'C:\AC')
  mkdir -p "$(unix 'C:\victim\KAVELO')"
  cp "$module" "$(unix 'C:\victim\KAVELO\KAVELO.apx')"
  mv "$home/Add-Ons" "$home/Add-Ons moved"
  ln -s "$(unix 'C:\victim')" "$home/Add-Ons"
  check "the uninstaller refuses the re-pointed link, exit 7" test "$(uninstall_in_place)" = 7
  check "the other folder's KAVELO.apx stays" same "$module" "$(unix 'C:\victim\KAVELO\KAVELO.apx')"
  check "the entry stays" test "$(records)" = 1
  ;;

held)
  # The installed module held open (a running program) while an upgrade moves it and while it is
  # uninstalled: its record stays and the exit code says so.
  new_prefix held
  archicad 28 'C:\Program Files\GRAPHISOFT\Archicad 28' "Archicad 28"
  import_registry
  check "the installer succeeds" test "$(exit_code "$setup" /S)" = 0
  first='C:\Program Files\GRAPHISOFT\Archicad 28\Add-Ons\KAVELO\KAVELO.apx'
  rm "$(unix 'C:\Program Files\GRAPHISOFT\Archicad 28\Archicad.exe')"
  archicad 28 'C:\Archicad 28' ""
  wr reg add "$archicad_key" /v InstallLocation /d 'C:\Archicad 28' /f >/dev/null 2>&1
  hold "$first"
  check "an upgrade that cannot remove the earlier module exits 2" test "$(exit_code "$setup" /S)" = 2
  check "the module is put where Archicad now is" same "$module" "$(unix 'C:\Archicad 28\Add-Ons\KAVELO\KAVELO.apx')"
  check "the held module stays on record" test "$(records)" = 2
  check "the log says it could not be removed" grep -qF "Could not remove $first" <(log_text)
  check "the log does not say it was removed" fails grep -qF "removed from ${first%\\KAVELO.apx}" <(log_text)
  check "an uninstall with the module held exits 2" test "$(uninstall_in_place)" = 2
  check "the held module stays" same "$module" "$(unix "$first")"
  check "the other module is removed" test ! -e "$(unix 'C:\Archicad 28\Add-Ons\KAVELO')"
  check "the entry stays with the held module's record" test "$(records)" = 1
  release
  quiet_uninstall
  check "once released, the uninstaller removes it" test ! -e "$(unix 'C:\Program Files\GRAPHISOFT\Archicad 28\Add-Ons\KAVELO')"
  check "and its entry" entry_absent
  ;;

rename-race) case_rename_race ;;
causes) case_causes ;;

short-names)
  # The same folder written in 8.3 short names in Archicad's entry, after an install under its long name.
  new_prefix short-names
  folder='C:\Applications\Archicad 28 Studio'
  archicad 28 "$folder" "Archicad 28"
  import_registry
  check "the installer succeeds" test "$(exit_code "$setup" /S)" = 0
  printf '@for %%%%I in ("%s") do @echo %%%%~sI\r\n' "$folder" >"$work/short.bat"
  short=$(wr cmd /c "Z:$(printf '%s' "$work/short.bat" | tr / '\\')" | tr -d '\r')
  check "Windows gives the folder a short name" test "${short#*~}" != "$short"
  wr reg add "$archicad_key" /v InstallLocation /d "$short" /f >/dev/null 2>&1
  check "an install through the short name succeeds" test "$(exit_code "$setup" /S)" = 0
  check "the module stays" same "$module" "$(unix "$folder\Add-Ons\KAVELO\KAVELO.apx")"
  check "one record, in the long form" test "$(records)" = 1 -a "$(value Module1)" = "$folder\Add-Ons\KAVELO\KAVELO.apx"
  ;;

records)
  # Records changed after the install: a wildcard, a path of another form, another file in the place of
  # a module. The uninstaller deletes none of them; the refused records keep the entry.
  new_prefix records
  archicad 28 'C:\Program Files\GRAPHISOFT\Archicad 28' "Archicad 28"
  import_registry
  check "the installer succeeds" test "$(exit_code "$setup" /S)" = 0
  victim=$(unix 'C:\victim')
  mkdir -p "$victim/KAVELO" "$victim/other"
  head -c 2048 /dev/urandom >"$victim/KAVELO/KAVELO.apx"
  cp "$victim/KAVELO/KAVELO.apx" "$work/victim.apx"
  echo keep >"$victim/keep.txt"
  cp "$module" "$victim/other/KAVELO.apx"
  for record in 'Module7=C:\victim\*' 'Module8=C:\victim\KAVELO\*.apx' 'Module9=C:\victim\KAVELO\KAVELO.apx' \
      'Module10=C:\victim\other\..\KAVELO\KAVELO.apx' 'Module11=C:\victim\other\KAVELO.apx'; do
    wr reg add "$entry" /v "${record%%=*}" /d "${record#*=}" /f >/dev/null 2>&1
  done
  wr reg add "$entry" /v Module9.sha256 /d 0000 /f >/dev/null 2>&1
  check "the uninstaller refuses changed records, exit 2" test "$(uninstall_in_place)" = 2
  check "no file of the other folder is deleted" test "$(find "$victim" -type f | wc -l)" = 3
  check "the other KAVELO.apx is untouched" same "$work/victim.apx" "$victim/KAVELO/KAVELO.apx"
  check "our module is removed" test ! -e "$(unix 'C:\Program Files\GRAPHISOFT\Archicad 28\Add-Ons\KAVELO')"
  check "the refused records stay" test "$(records)" = 4
  ;;

signing)
  # A throwaway authority, its code-signing certificate, and a time-stamp authority (RFC 3161) of its own
  # on loopback.
  pki="$work/signing-pki"
  rm -rf "$pki" "$work/signed" "$work/signed-token" "$work/signed-failing"
  make_signing_pki "$pki"
  # As package.sh verifies: the signature and its time stamp, from the loopback authority.
  verify() { installer/sign.sh --verify "$1" 2>"$1.verify"; }
  start_tsa
  status=0
  KAVELO_SIGN_KEY="$pki/sign.key" KAVELO_SIGN_TIMESTAMP_URL="$tsa_url" \
    scripts/package.sh --sign --test-build --build-dir "$build" --out "$work/signed" >/dev/null || status=$?
  check "a package signed with a key file is written" test "$status" = 0
  (cd "$work/signed" && cmake -E tar xf "KAVELO-$version-TEST.zip")
  signed_module="$work/signed/KAVELO-$version-TEST/Archicad 28/KAVELO.apx"
  check "the packed module verifies, time-stamped" verify "$signed_module"
  check "the installer verifies, time-stamped" verify "$work/signed/KAVELO-$version-TEST-Setup.exe"
  new_prefix signing
  archicad 28 'C:\Program Files\GRAPHISOFT\Archicad 28' "Archicad 28"
  import_registry
  check "the signed installer installs" test "$(exit_code "$work/signed/KAVELO-$version-TEST-Setup.exe" /S)" = 0
  check "the installed module is the signed one" same "$signed_module" \
    "$(unix 'C:\Program Files\GRAPHISOFT\Archicad 28\Add-Ons\KAVELO\KAVELO.apx')"
  cp "$(unix 'C:\Program Files\KAVELO\Uninstall.exe')" "$work/signed/Uninstall.exe"
  cp "$(unix 'C:\Program Files\KAVELO\kavelo-setup-helper.exe')" "$work/signed/kavelo-setup-helper.exe"
  check "the uninstaller verifies, time-stamped" verify "$work/signed/Uninstall.exe"
  check "the installer's helper verifies, time-stamped" verify "$work/signed/kavelo-setup-helper.exe"
  for file in "$signed_module" "$work/signed/KAVELO-$version-TEST-Setup.exe" "$work/signed/Uninstall.exe"; do
    # One byte changed in the middle of the file.
    tampered="$work/signed/tampered-$(basename "$file")"
    cp "$file" "$tampered"
    offset=$(( $(stat -c %s "$file") / 2 ))
    byte=$(od -An -tu1 -j "$offset" -N1 "$file" | tr -d ' ')
    printf "\\$(printf '%03o' $(( (byte + 1) % 256 )))" | dd of="$tampered" bs=1 seek="$offset" conv=notrunc 2>/dev/null
    check "a changed $(basename "$file") fails verification" fails verify "$tampered"
  done
  osslsigncode sign -certs "$pki/sign.pem" -key "$pki/sign.key" -h sha256 -in "$module" \
    -out "$work/signed/untimed.apx" >/dev/null
  check "a signature without a time stamp fails verification" fails verify "$work/signed/untimed.apx"

  # The key held in a token (softhsm2's software token), reached through PKCS#11.
  export SOFTHSM2_CONF="$pki/softhsm2.conf"
  printf 'directories.tokendir = %s\nobjectstore.backend = file\nlog.level = ERROR\n' "$pki/tokens" >"$SOFTHSM2_CONF"
  softhsm2-util --init-token --free --label kavelo --pin 2718 --so-pin 3141 >/dev/null
  openssl pkcs8 -topk8 -nocrypt -in "$pki/sign.key" -out "$pki/sign.p8"
  softhsm2-util --import "$pki/sign.p8" --token kavelo --label signer --id 01 --pin 2718 >/dev/null
  rm "$pki/sign.key" "$pki/sign.p8"
  status=0
  KAVELO_SIGN_KEY='pkcs11:token=kavelo;object=signer;type=private' KAVELO_SIGN_PIN=2718 \
    KAVELO_SIGN_PKCS11_MODULE=/usr/lib/softhsm/libsofthsm2.so KAVELO_SIGN_TIMESTAMP_URL="$tsa_url" \
    scripts/package.sh --sign --test-build --build-dir "$build" --out "$work/signed-token" >/dev/null || status=$?
  check "a package signed with a key in a token is written" test "$status" = 0
  check "its installer verifies, time-stamped" verify "$work/signed-token/KAVELO-$version-TEST-Setup.exe"
  ends "$tsa_pid"

  # A time-stamp authority that answers the module's and the helper's requests, then fails: the
  # uninstaller's signing inside makensis fails, and so does the build, leaving no package.
  start_tsa --fail-after 2
  status=0
  KAVELO_SIGN_KEY='pkcs11:token=kavelo;object=signer;type=private' KAVELO_SIGN_PIN=2718 \
    KAVELO_SIGN_PKCS11_MODULE=/usr/lib/softhsm/libsofthsm2.so KAVELO_SIGN_TIMESTAMP_URL="$tsa_url" \
    scripts/package.sh --sign --test-build --build-dir "$build" --out "$work/signed-failing" >"$work/signed-failing.log" 2>&1 ||
    status=$?
  ends "$tsa_pid"
  check "a failing signer fails the build" test "$status" != 0
  check "a failing signer leaves no package" test -z "$(ls -A "$work/signed-failing" 2>/dev/null)"
  ;;

pages)
  # A person at the screen, on a virtual display: Archicad 26, 27 and 28 installed, a package with modules
  # for 27 and 28. Every page and message is read and kept as a picture in work/pages; the default button
  # is pressed on each, and Archicad 27 is unticked.
  pictures="$work/pictures"
  talk="$work/pages-talk"
  rm -rf "$pictures" "$talk" "$work/package-27-28"
  mkdir -p "$pictures" "$talk"
  scripts/package.sh --test-build --build-dir "$build" --module 27="$module" --module 28="$module" \
    --out "$work/package-27-28" >/dev/null
  two="$work/package-27-28/KAVELO-$version-TEST-Setup.exe"
  new_prefix pages
  archicad 26 'C:\Program Files\GRAPHISOFT\Archicad 26' "Archicad 26"
  archicad 27 'C:\Program Files\GRAPHISOFT\Archicad 27' "Archicad 27"
  archicad 28 'C:\Program Files\GRAPHISOFT\Archicad 28' "Archicad 28"
  # Wine's X11 driver, drawing the windows' frames itself (there is no window manager).
  registry '[HKEY_CURRENT_USER\Software\Wine\Drivers]' '"Graphics"="x11"' '' \
    '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' ''
  import_registry
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/pages-display" 2>/dev/null &
  xvfb_pid=$!
  trap 'stop_prefix; ends "$xvfb_pid"' EXIT
  wait_until test -s "$work/pages-display"
  export DISPLAY=":$(head -1 "$work/pages-display")"
  # Every Wine program of this prefix now runs on the display.
  wr() { WINEPREFIX="$prefix" WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" wine "$@" </dev/null; }
  wr "$KAVELO_CLICK_THROUGH" "Z:$(printf '%s' "$talk" | tr / '\\')" >/dev/null 2>&1 &
  driver_pid=$!
  asked=0
  # ask COMMAND: one command to the driver; its answer is then in $answer (and all of them in $talk/all).
  ask() {
    asked=$((asked + 1))
    printf '%s\n' "$1" >"$talk/command-$asked.part"
    mv "$talk/command-$asked.part" "$talk/command-$asked.txt"
    answer="$talk/answer-$asked.txt"
    for _ in $(seq 1600); do
      [ ! -f "$answer" ] || break
      sleep 0.05
    done
    cat "$answer" >>"$talk/all" 2>/dev/null || echo "no answer to $1" >"$answer"
  }
  # page NAME: waits for the next page or message and keeps its picture as NAME.png.
  page() {
    ask page
    local x y w h
    read -r _ x y w h < <(grep '^window ' "$answer" || echo "window 0 0 1024 768")
    xwd -root -silent | convert xwd:- -crop "${w}x${h}+${x}+${y}" +repage -strip "$pictures/$1.png"
  }
  shows() { grep -qxF "$1" "$answer"; }
  # carries_icon FILE: FILE holds the largest image of installer/KAVELO-Setup.ico, byte for byte.
  carries_icon() {
    python3 -c 'import struct, sys
ico = open(sys.argv[2], "rb").read()
size, offset = struct.unpack("<II", ico[14:22])
sys.exit(ico[offset:offset + size] not in open(sys.argv[1], "rb").read())' "$1" installer/KAVELO-Setup.ico
  }
  shows_part() { grep -qF "$1" "$answer"; }
  run_setup() { status_file="$work/pages-status"; rm -f "$status_file"; { exit_code "$@" >"$status_file"; } & }
  setup_status() { wait_until test -s "$status_file"; cat "$status_file"; }

  # Cancelled on its first page: exit code 1, nothing left behind.
  before=$(listing)
  run_setup "$two"
  ask page
  ask "click 2"
  check "cancelled on the first page, exit 1" test "$(setup_status)" = 1
  check "a cancelled installer leaves nothing" test "$(listing)" = "$before"

  # The windows' own run: Wine names every DLL it loads; the temporary folders are compared after it.
  temps() { find "$(unix 'C:\windows\temp')" "$prefix/drive_c/users" -ipath '*/temp*' 2>/dev/null | sort; }
  temps_before=$(temps)
  WINEDEBUG=+loaddll run_setup "$two" 2>"$work/pages-loaddll.log"
  page 1-welcome
  check "the first page names KAVELO, its version and the Archicad versions" \
    shows "header KAVELO $version for Archicad"
  check "it says what KAVELO does" shows_part "connects Archicad to the KAVELO web application"
  check "it says a test build is not for distribution" shows "subheader A test build, not for distribution."
  ask "click 1"
  page 2-choose
  check "the choice offers Archicad 27 by name and folder, ticked" \
    shows 'item 2 Archicad 27 (C:\Program Files\GRAPHISOFT\Archicad 27)'
  check "and Archicad 28" shows 'item 2 Archicad 28 (C:\Program Files\GRAPHISOFT\Archicad 28)'
  check "Archicad 26 is named, greyed, with the reason" \
    shows 'item 4 Archicad 26: this package has no KAVELO for it'
  ask "toggle 0"
  page 3-choose-28
  check "Archicad 27 is unticked" shows 'item 1 Archicad 27 (C:\Program Files\GRAPHISOFT\Archicad 27)'
  ask "click 1"
  page 4-installed
  check "the progress ends saying it is installed" shows "header KAVELO is installed"
  check "its details are hidden" shows "details hidden"
  check "its details say where, at the user's level" \
    test "$(grep '^detail ' "$answer")" = 'detail Archicad 28: installed in C:\Program Files\GRAPHISOFT\Archicad 28\Add-Ons\KAVELO'
  ask "click 1"
  page 5-next-steps
  check "the last page says to start Archicad" shows_part "Start Archicad"
  check "where KAVELO is in Archicad" shows_part "KAVELO is in the KAVELO menu, and its toolbar in Window > Toolbars"
  check "and that the first export links the account in the browser" shows_part "opens your browser to link KAVELO"
  ask "click 1"
  check "the installer ends with exit code 0" test "$(setup_status)" = 0
  check "with its pages shown, it loads Windows' DLLs only" fails grep -v -i 'L"C:\\\\windows\\\\' \
    <(grep -i 'trace:loaddll:build_module Loaded L".*\.dll"' "$work/pages-loaddll.log")
  check "and Windows' own are there: the list is read" grep -qi 'Loaded L"C:\\\\windows\\\\system32\\\\riched20.dll"' \
    "$work/pages-loaddll.log"
  check "it leaves nothing in the temporary folders" test "$(temps)" = "$temps_before"
  check "the installer carries KAVELO's icon" carries_icon "$two"
  check "and so does the uninstaller" carries_icon "$(unix 'C:\Program Files\KAVELO\Uninstall.exe')"
  home27=$(unix 'C:\Program Files\GRAPHISOFT\Archicad 27')
  home28=$(unix 'C:\Program Files\GRAPHISOFT\Archicad 28')
  check "Archicad 28 has KAVELO" same "$module" "$home28/Add-Ons/KAVELO/KAVELO.apx"
  check "the unticked Archicad 27 has nothing" test ! -e "$home27/Add-Ons/KAVELO"
  check "Archicad 26 has nothing" test ! -e "$(unix 'C:\Program Files\GRAPHISOFT\Archicad 26\Add-Ons\KAVELO')"
  check "one module on record" test "$(records)" = 1

  # Installed silently for both, then again with Archicad 28 unticked: 28's module and record stay as they
  # were, 27's is written anew.
  check "a silent install serves every Archicad found" test "$(exit_code "$two" /S)" = 0
  check "Archicad 27 has KAVELO after it" same "$module" "$home27/Add-Ons/KAVELO/KAVELO.apx"
  touch -d '2001-01-01' "$home28/Add-Ons/KAVELO/KAVELO.apx"
  run_setup "$two"
  ask page
  ask "click 1"
  ask page
  ask "toggle 1"
  ask page
  check "Archicad 28 is unticked" shows 'item 1 Archicad 28 (C:\Program Files\GRAPHISOFT\Archicad 28)'
  ask "click 1"
  ask page
  check "its details name Archicad 27 only" test "$(grep '^detail ' "$answer")" = \
    'detail Archicad 27: installed in C:\Program Files\GRAPHISOFT\Archicad 27\Add-Ons\KAVELO'
  ask "click 1"
  ask page
  ask "click 1"
  check "the install for 27 alone ends with exit code 0" test "$(setup_status)" = 0
  check "the unticked Archicad 28's module is not touched" \
    test "$(stat -c %Y "$home28/Add-Ons/KAVELO/KAVELO.apx")" = "$(date -d 2001-01-01 +%s)"
  check "both modules stay on record" test "$(records)" = 2
  check "and both count in the entry's size" \
    test "$(( $(printf '%d' "$(value EstimatedSize)") ))" -ge $(( 2 * ($(stat -c %s "$module") / 1024) ))

  # The uninstaller, run in place so that its end is seen.
  mkdir -p "$(unix 'C:\in-place')"
  cp "$(unix 'C:\Program Files\KAVELO\Uninstall.exe')" "$(unix 'C:\in-place\Uninstall.exe')"
  run_setup 'C:\in-place\Uninstall.exe' '_?=C:\in-place'
  page 6-uninstall
  check "the uninstaller says what it removes, for which Archicad" \
    shows_part 'Archicad 28: C:\Program Files\GRAPHISOFT\Archicad 28\Add-Ons\KAVELO'
  check "for each Archicad" shows_part 'Archicad 27: C:\Program Files\GRAPHISOFT\Archicad 27\Add-Ons\KAVELO'
  ask "click 1"
  page 7-removed
  check "it ends saying KAVELO is removed" shows "header KAVELO is removed"
  check "its details say what it removed, at the user's level" test "$(grep '^detail ' "$answer" | sort)" = \
    "$(printf '%s\n' 'detail Archicad 27: KAVELO removed from C:\Program Files\GRAPHISOFT\Archicad 27\Add-Ons\KAVELO' \
      'detail Archicad 28: KAVELO removed from C:\Program Files\GRAPHISOFT\Archicad 28\Add-Ons\KAVELO')"
  ask "click 1"
  check "the uninstaller ends with exit code 0" test "$(setup_status)" = 0
  check "KAVELO is gone from Archicad 27 and 28" test ! -e "$home27/Add-Ons/KAVELO" -a ! -e "$home28/Add-Ons/KAVELO"
  check "its entry is gone" entry_absent

  # No Archicad that the package serves is left (Archicad 26 still is): the refusal says what to do.
  rm "$home27/Archicad.exe" "$home28/Archicad.exe"
  for n in 2 3; do wr reg delete "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{KAVELO-test-$n}" /f >/dev/null 2>&1; done
  run_setup "$two"
  page 8-no-archicad
  check "without Archicad, a message says which versions the package serves" \
    shows_part "this package serves Archicad 27 and 28, and none of them was found"
  check "names the Archicad found and left alone, and why" shows_part "Archicad 26: this package has no KAVELO for it"
  check "and how to add KAVELO by hand" shows_part "unpack KAVELO-$version-TEST.zip, start Archicad, choose Options > Add-On Manager"
  ask "click 1"
  check "the refusal ends with exit code 4" test "$(setup_status)" = 4

  ask quit
  ends "$driver_pid"
  check "no page or message showed the installer's workings" fails grep -qiE \
    'setup-helper|kavelo-module|kavelo-header|\.txt|Extract:|Execute:|Delete file|Output folder|Created uninstaller|Remove folder' "$talk/all"
  check "no page timed out" fails grep -q '^timeout' "$talk/all"
  ;;

*)
  echo "installer_test.sh: no case $case_name" >&2
  exit 2
  ;;
esac
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
