# Sourced by installer_test.sh: what the installer's writes and deletes under Archicad's folders withstand
# and how its refusals name their cause. Uses installer_test.sh's functions (new_prefix, archicad, wr...).

# start_race there|gone WATCH FOLDER VICTIM: an ordinary user who can write FOLDER (an Archicad folder)
# waits until WATCH appears or vanishes, then renames FOLDER to "FOLDER moved" as soon as anything lets
# it, and puts in its place "FOLDER linked", whose Add-Ons is a link to VICTIM (rename_race.exe).
start_race() {
  mkdir -p "$(unix "$3 linked")"
  ln -s "$(unix "$4")" "$(unix "$3 linked\Add-Ons")"
  : >"$work/race.out"
  tools/wine-run.sh "$prefix" "$KAVELO_RENAME_RACE" "$1" "$2" "$3" "$3 moved" "$3 linked" 60 >"$work/race.out" 2>&1 &
  race_pid=$!
  wait_until grep -q watching "$work/race.out" || { echo "rename_race.exe did not start:" >&2; cat "$work/race.out" >&2; return 1; }
}
# end_race FOLDER: waits for the attacker, keeps what it said in race.log, and puts FOLDER back as it was.
end_race() {
  wait "$race_pid" || true
  cat "$work/race.out" >>"$work/race.log"
  if [ -d "$(unix "$1 moved")" ]; then
    rm -f "$(unix "$1\Add-Ons")"
    rmdir "$(unix "$1")"
    mv "$(unix "$1 moved")" "$(unix "$1")"
  fi
  rm -rf "$(unix "$1 linked")"
}
raced() { grep -q '^linked after' "$work/race.out"; }

# The race on the delete of the emptied KAVELO folder: the attacker renames the Archicad folder away the
# moment it is let go and links its add-ons folder to a folder elsewhere that holds an empty KAVELO.
# Ten upgrades (the earlier module in 'C:\AC one', Archicad now in 'C:\AC two') and ten uninstalls.
case_rename_race() {
  new_prefix rename-race
  : >"$work/race.log"
  archicad 28 'C:\AC one' "Archicad 28"
  archicad 28 'C:\AC two' ""
  victim=$(unix 'C:\VictimRoot')
  mkdir -p "$victim/KAVELO"
  import_registry
  check "the installer succeeds" test "$(exit_code "$setup" /S)" = 0
  local sha run status
  sha=$(sha256sum "$module" | cut -d' ' -f1)
  for run in 1 2 3 4 5 6 7 8 9 10; do
    # As the first install left it: the module in 'C:\AC one' and recorded; then Archicad moved.
    mkdir -p "$(unix 'C:\AC one\Add-Ons\KAVELO')"
    cp "$module" "$(unix 'C:\AC one\Add-Ons\KAVELO\KAVELO.apx')"
    : >"$prefix/setup.reg.txt"
    registry "[HKEY_LOCAL_MACHINE\\${entry#HKLM\\}]" '"Module0"="C:\\AC one\\Add-Ons\\KAVELO\\KAVELO.apx"' \
      "\"Module0.sha256\"=\"$sha\"" "" "[$archicad_key]" '"InstallLocation"="C:\\AC two"' ""
    import_registry
    start_race gone 'C:\AC one\Add-Ons\KAVELO\KAVELO.apx' 'C:\AC one' 'C:\VictimRoot'
    status=$(exit_code "$setup" /S)
    wait "$race_pid" || true
    check "upgrade $run succeeds (exit $status)" test "$status" = 0
    check "upgrade $run: the attacker's link took the Archicad folder's place" raced
    check "upgrade $run: the emptied KAVELO folder is removed" test ! -e "$(unix 'C:\AC one moved\Add-Ons\KAVELO')"
    check "upgrade $run: the KAVELO folder outside Archicad stays" test -d "$victim/KAVELO"
    end_race 'C:\AC one'
    mkdir -p "$victim/KAVELO"

    start_race gone 'C:\AC two\Add-Ons\KAVELO\KAVELO.apx' 'C:\AC two' 'C:\VictimRoot'
    status=$(uninstall_in_place)
    wait "$race_pid" || true
    check "uninstall $run succeeds (exit $status)" test "$status" = 0
    check "uninstall $run: the attacker's link took the Archicad folder's place" raced
    check "uninstall $run: the emptied KAVELO folder is removed" test ! -e "$(unix 'C:\AC two moved\Add-Ons\KAVELO')"
    check "uninstall $run: the KAVELO folder outside Archicad stays" test -d "$victim/KAVELO"
    end_race 'C:\AC two'
    mkdir -p "$victim/KAVELO"
  done
  check "nothing else appeared outside the Archicad folders" test "$(ls -A "$victim")" = KAVELO
}

read_only() { wr attrib +r "$1" >/dev/null 2>&1; }
# logged WHERE CAUSE: a line of install.log names the folder WHERE (or a path in it) and says CAUSE.
logged() { log_text | grep -F "$1" | grep -qiF "$2"; }
writable() { [ "$(stat -c %A "$(unix "$1")" | cut -c3)" = w ]; }

# Read-only modules, ours and not, and the refusals that name their cause in the log and the exit code: a
# program holding the module, a path too long, a link swapped in just before the module is placed.
case_causes() {
  new_prefix causes
  : >"$work/race.log"
  archicad 28 'C:\Program Files\GRAPHISOFT\Archicad 28' "Archicad 28"
  local key=$archicad_key
  import_registry
  local first='C:\Program Files\GRAPHISOFT\Archicad 28\Add-Ons\KAVELO\KAVELO.apx'
  local moved='C:\Archicad 28\Add-Ons\KAVELO\KAVELO.apx'
  check "the installer succeeds" test "$(exit_code "$setup" /S)" = 0
  # A backup or sync tool left our module read-only.
  read_only "$first"
  check "the module is read-only for Windows" fails writable "$first"
  check "a reinstall over our read-only module succeeds" test "$(exit_code "$setup" /S)" = 0
  check "the module there is ours" same "$module" "$(unix "$first")"
  check "and a new file, not read-only" writable "$first"
  read_only "$first"
  rm "$(unix 'C:\Program Files\GRAPHISOFT\Archicad 28\Archicad.exe')"
  archicad 28 'C:\Archicad 28' ""
  wr reg add "$key" /v InstallLocation /d 'C:\Archicad 28' /f >/dev/null 2>&1
  check "an upgrade away from our read-only module succeeds" test "$(exit_code "$setup" /S)" = 0
  check "the upgrade removes the read-only module and its folder" \
    test ! -e "$(unix 'C:\Program Files\GRAPHISOFT\Archicad 28\Add-Ons\KAVELO')"
  check "the log says it was removed" logged "${first%\\KAVELO.apx}" removed
  read_only "$moved"
  check "the uninstaller removes our read-only module" test "$(uninstall_in_place)" = 0
  check "the read-only module and its folder are gone" test ! -e "$(unix 'C:\Archicad 28\Add-Ons\KAVELO')"
  check "the entry is gone" entry_absent

  # A read-only KAVELO.apx that is not ours stands where the module goes: refused, at install and at
  # uninstall, and left as it is.
  mkdir -p "$(unix 'C:\Archicad 28\Add-Ons\KAVELO')"
  head -c 4096 /dev/urandom >"$(unix "$moved")"
  cp "$(unix "$moved")" "$work/not-ours.apx"
  read_only "$moved"
  check "a read-only file not ours stops the install, exit 2" test "$(exit_code "$setup" /S)" = 2
  check "the log names the read-only file" \
    logged "${moved%\\KAVELO.apx}" "a read-only file is there that this installer did not put there"
  check "the read-only file not ours stays" same "$work/not-ours.apx" "$(unix "$moved")"
  check "the uninstaller leaves it" test "$(uninstall_in_place)" = 0
  check "the read-only file not ours stays after the uninstall" same "$work/not-ours.apx" "$(unix "$moved")"
  chmod u+w "$(unix "$moved")"
  rm "$(unix "$moved")"

  # A program has the module open while it is to be replaced.
  check "the installer succeeds again" test "$(exit_code "$setup" /S)" = 0
  hold "$moved"
  check "a module held open stops the install, exit 2" test "$(exit_code "$setup" /S)" = 2
  release
  check "the log says a program has it open" logged "${moved%\\KAVELO.apx}" "a program has it open"

  # A second Archicad 28 in a folder whose add-on path would be 337 characters long.
  local long='C:\Archicad 28, in a folder with a longer name' part
  for part in 1 2 3 4 5; do long="$long\\$(printf 'folder %02d of a deep tree of project folders and more' "$part")"; done
  : >"$prefix/setup.reg.txt"
  archicad 28 "$long" "Archicad 28"
  import_registry
  check "the long Archicad's add-on path is 337 characters" test "${#long}" = $((337 - 26))
  check "a path too long is refused, exit 6" test "$(exit_code "$setup" /S)" = 6
  check "the log names the path as too long" logged "$long" "too long"
  check "and not as a link" fails logged "$long" "link"
  check "the other Archicad is served" same "$module" "$(unix "$moved")"
  check "nothing is written under the long path" test ! -e "$(unix "$long\Add-Ons\KAVELO")"
  rm -r "$(unix 'C:\Archicad 28, in a folder with a longer name')"

  # An ordinary user who can write the Archicad folder swaps in a link to a folder elsewhere the moment
  # the module is unpacked, just before it is placed: refused as a link, and no folder made there.
  mkdir -p "$(unix 'C:\AC swap\Add-Ons\Built-In')" "$(unix 'C:\VictimRoot')"
  wr reg add "$key" /v InstallLocation /d 'C:\AC swap' /f >/dev/null 2>&1
  start_race there 'C:\Program Files\KAVELO\kavelo-module.apx' 'C:\AC swap' 'C:\VictimRoot'
  check "a link swapped in before the module is placed is refused, exit 7" test "$(exit_code "$setup" /S)" = 7
  wait "$race_pid" || true
  check "the attacker's link took the Archicad folder's place" raced
  check "the log names the link" logged 'C:\AC swap\Add-Ons\KAVELO' "a link on its path"
  check "and does not blame a program holding it" fails logged 'C:\AC swap\Add-Ons\KAVELO' "in use"
  check "no folder is made in the folder linked to" test -z "$(ls -A "$(unix 'C:\VictimRoot')")"
  end_race 'C:\AC swap'
}
