#!/bin/sh
# Builds every configuration and runs every test suite, then prints one summary line.
#   run-all-tests.sh MAKE [MAKEFLAGS...]
# Each suite runs even when an earlier one failed; the exit code is non-zero if any failed.
make_cmd="$*"
passed=0
failed=0
status=0
log=$(mktemp)
for suite in test-native test-asan test-win32 test-win64; do
  echo "=== $suite"
  if ! $make_cmd $suite 2>&1 | tee "$log"; then :; fi
  # tee hides make's status: read ctest's own summary instead.
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then
    if grep -q 'No tests were found' "$log"; then
      echo "=== $suite: no tests"
      continue
    fi
    echo "=== $suite: did not build or run"
    status=1
    continue
  fi
  f=$(echo "$line" | sed -E 's/.*tests passed, ([0-9]+) tests failed out of ([0-9]+).*/\1/')
  t=$(echo "$line" | sed -E 's/.*tests passed, ([0-9]+) tests failed out of ([0-9]+).*/\2/')
  passed=$((passed + t - f))
  failed=$((failed + f))
  [ "$f" -eq 0 ] || status=1
done
rm -f "$log"
echo
echo "total: $passed passed, $failed failed"
exit $status
