# Sourceable bash library: counts the results of the Wine tests and prints them.
WINE_TESTS_PASSED=0
WINE_TESTS_FAILED=0

pass() { WINE_TESTS_PASSED=$((WINE_TESTS_PASSED + 1)); printf 'PASS: %s\n' "$*"; }
fail() { WINE_TESTS_FAILED=$((WINE_TESTS_FAILED + 1)); printf 'FAIL: %s\n' "$*"; }

# expect_equal NAME EXPECTED ACTUAL
expect_equal() {
  if [ "$2" = "$3" ]; then pass "$1"; else fail "$1: expected [$2], got [$3]"; fi
}

# expect NAME COMMAND...: passes when the command succeeds.
expect() {
  local name=$1; shift
  if "$@"; then pass "$name"; else fail "$name"; fi
}

# Adds counts that another runner wrote as "PASSED FAILED" into FILE; a missing file is one failure.
add_counts_from() {
  local passed failed
  if read -r passed failed <"$1" 2>/dev/null && [[ $passed =~ ^[0-9]+$ && $failed =~ ^[0-9]+$ ]]; then
    WINE_TESTS_PASSED=$((WINE_TESTS_PASSED + passed))
    WINE_TESTS_FAILED=$((WINE_TESTS_FAILED + failed))
  else
    fail "$2: no result counts"
  fi
}

print_counts() {
  printf '%s passed, %s failed\n' "$WINE_TESTS_PASSED" "$WINE_TESTS_FAILED"
}
