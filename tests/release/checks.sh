# Sourced by the release's tests: one observation per check, counted in failed; the test ends with
# [ "$failed" = 0 ].
failed=0
check() {  # check DESCRIPTION COMMAND...
  local what="$1"
  shift
  if "$@"; then echo "ok: $what"; else failed=$((failed + 1)); echo "FAILED: $what" >&2; fi
}
fails() { ! "$@"; }
says() {  # says FILE TEXT: FILE holds TEXT, or is shown
  grep -qF -- "$2" "$1" || { echo "--- $1:" >&2; cat "$1" >&2; return 1; }
}
