#!/usr/bin/env bash
# What scripts/demo.sh and scripts/install-deps.sh do with their options, seen from the package manager:
# apt-get, dpkg-query, sudo and cmake are stand-ins on PATH that log their calls, and cmake fails, so a
# run stops right after its install. Nothing is installed or built. demo_options_test.sh SOURCE_DIR
set -euo pipefail
source_dir="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
# dpkg-query reports as installed the packages named in $INSTALLED, or every one if it is "all".
cat >"$work/bin/dpkg-query" <<'EOF'
#!/usr/bin/env bash
for package in ${INSTALLED:-}; do
  if [ "$package" = all ] || [ "$package" = "${!#}" ]; then echo "install ok installed"; fi
done
EOF
cat >"$work/bin/apt-get" <<'EOF'
#!/usr/bin/env bash
echo "apt-get $*" >>"$CALLS"
EOF
cat >"$work/bin/sudo" <<'EOF'
#!/usr/bin/env bash
exec "$@"
EOF
cat >"$work/bin/cmake" <<'EOF'
#!/usr/bin/env bash
echo "cmake $*" >>"$CALLS"
exit 1
EOF
chmod +x "$work/bin"/*
export PATH="$work/bin:$PATH" CALLS="$work/calls"

failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
# run SCRIPT ARGS...: status, stdout and stderr of one run, and the calls it made.
run() {
  : >"$CALLS"
  status=0
  "$source_dir/scripts/$1" "${@:2}" >"$work/out" 2>"$work/err" || status=$?
}
installed() { sed -n 's/^apt-get install //p' "$CALLS" | tr ' ' '\n'; }
expect_installs() {
  for package in "$@"; do installed | grep -qx -- "$package" || fail "$case: does not install $package"; done
}
expect_no_installs() {
  for package in "$@"; do ! installed | grep -qx -- "$package" || fail "$case: installs $package"; done
}
windows_packages=(wine wine64 g++-mingw-w64-x86-64-posix nsis osslsigncode)
browser_packages=(chromium chromium-driver)

# Refused or answered before anything is installed or built.
# shellcheck disable=SC2086 # each case is a list of words
for case in "--help" "--interactive --help"; do
  run demo.sh $case
  [ "$status" -eq 0 ] || fail "$case: exit status $status"
  for option in --interactive --browser --windows --help; do
    grep -q -- "^  $option  " "$work/out" || fail "$case: the usage has no line for $option"
  done
  [ ! -s "$CALLS" ] || fail "$case: ran $(cat "$CALLS")"
done
# shellcheck disable=SC2086
for case in "--bogus" "--windows --browser" "--browser --interactive --windows" "build/release"; do
  run demo.sh $case
  [ "$status" -eq 2 ] || fail "$case: exit status $status, not 2"
  grep -q "^usage: scripts/demo.sh" "$work/err" || fail "$case: no usage on stderr"
  [ ! -s "$work/out" ] || fail "$case: printed on stdout: $(cat "$work/out")"
  [ ! -s "$CALLS" ] || fail "$case: ran $(cat "$CALLS")"
done

# Each form installs what it needs and no more, before it builds.
# shellcheck disable=SC2086
for case in "" "--interactive"; do
  run demo.sh $case
  expect_installs cmake g++ libssl-dev
  expect_no_installs "${windows_packages[@]}" "${browser_packages[@]}"
  tail -n 1 "$CALLS" | grep -q "^cmake --preset release" || fail "$case: does not build after installing"
done
case="--browser"
run demo.sh --browser
expect_installs cmake "${browser_packages[@]}"
expect_no_installs "${windows_packages[@]}"
case="--interactive --windows"
run demo.sh --interactive --windows
expect_installs cmake "${windows_packages[@]}" googletest
expect_no_installs "${browser_packages[@]}"
case="install-deps.sh --all"
run install-deps.sh --all
expect_installs cmake clang-format lld llvm libclang-rt-14-dev "${windows_packages[@]}" "${browser_packages[@]}"
grep -q "^Installing .*clang-format" "$work/out" || fail "$case: does not say what it installs"

# What is there already is left alone, and with nothing missing apt-get is not run at all.
case="installed"
INSTALLED="cmake chromium" run demo.sh --browser
expect_installs g++ chromium-driver
expect_no_installs cmake chromium
INSTALLED=all run install-deps.sh --all
! grep -q "^apt-get" "$CALLS" || fail "all installed: ran $(grep "^apt-get" "$CALLS")"

[ "$failures" -eq 0 ] || exit 1
echo "demo.sh and install-deps.sh options: all cases passed"
