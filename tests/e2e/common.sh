# Shared by the end-to-end scripts (sourced): a work folder removed at the
# end, the test environment, and the checks with their counts.
work=$(mktemp -d /tmp/norvane-e2e-XXXXXX)
trap 'rm -rf "$work"' EXIT
export TZ=UTC LC_ALL=C.UTF-8
passed=0 failed=0

check() {  # check NAME CONDITION...
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $name" >&2; fi
}
same() { [ "$1" == "$2" ] || { printf 'expected: %q\n     got: %q\n' "$2" "$1" >&2; return 1; }; }
