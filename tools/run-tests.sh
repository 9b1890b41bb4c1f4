#!/usr/bin/env bash
# Runs each preset's tests through CTest, keeping the full output in
# build/PRESET/ctest.log; prints a line per suite (and a failing suite's
# log), then one line that sums up every suite: "make test: N passed, M failed".
# Usage: run-tests.sh PRESET...
set -uo pipefail
passed=0
failed=0
for preset in "$@"; do
  log=build/$preset/ctest.log
  ctest --preset "$preset" >"$log" 2>&1
  # "100% tests passed, 0 tests failed out of 60"
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  if [ -z "$summary" ]; then
    echo "$preset: CTest ran no test; see $log"
    cat "$log"
    failed=$((failed + 1))
    continue
  fi
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
  bad=$(sed -E 's/.*, ([0-9]+) tests? failed.*/\1/' <<<"$summary")
  echo "$preset: $((total - bad)) passed, $bad failed"
  if [ "$bad" -ne 0 ]; then
    cat "$log"
  fi
  passed=$((passed + total - bad))
  failed=$((failed + bad))
done
echo "make test: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
