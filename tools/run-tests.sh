#!/usr/bin/env bash
# make test, or with `check` make check: builds the presets (check: g++ and
# windows), runs their tests through CTest as the test presets say (check:
# g++'s, and windows' but the README's commands, the pictures in a browser
# and what needs root), and prints a line per suite, each failing
# test with the start of what it said, and "make test: N passed, M failed".
# CTest's whole output is in build/PRESET/ctest.log. A run with no test
# passed fails. make runs it under an environment of its own (Makefile).
# Usage: run-tests.sh [check]
set -euo pipefail
cd "$(dirname "$0")/.."
name="make test"
mapfile -t builds < <(tools/presets.sh configure) && wait $! || exit 1
mapfile -t suites < <(tools/presets.sh test) && wait $! || exit 1
[ "${1:-}" != check ] ||
  name="make check" builds=(linux-gcc windows) suites=(linux-gcc "windows -LE command|picture|root")
for preset in "${builds[@]}"; do
  echo "== building $preset"
  tools/build.sh "$preset" | { grep -Ev '^\[[0-9]+/[0-9]+\] |^ninja: no work to do' || true; } ||
    { echo "$name: the $preset build failed" && exit 1; }
done
passed=0 failed=0
for suite in "${suites[@]}"; do
  read -ra words <<<"$suite"
  log=build/${words[0]}/ctest.log
  ctest --preset "${words[@]}" >"$log" 2>&1 && status=0 || status=$?
  # CTest's own summary, its last "95% tests passed, 3 tests failed out of
  # 60" (a test may print one of its own before it), held to CTest's status.
  if ! read -r bad total < <(sed -n 's/^[0-9]*% tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\)$/\1 \2/p' "$log" | tail -n 1) ||
    { [ "$status" -ne 0 ] && [ "$bad" -eq 0 ]; }; then
    echo "${words[0]}: CTest ran no test, or failed (status $status); see $log" && cat "$log"
    failed=$((failed + 1))
    continue
  fi
  echo "${words[0]}: $((total - bad)) passed, $bad failed"
  # A failing test's result line and what it said, up to the next test.
  sed -n '/^Total Test time/q; /\*\*\*\|Not Run/,/^ *Start \|^[0-9]*% tests passed/{/^ *Start \|^[0-9]*% tests passed/!p}' "$log"
  passed=$((passed + total - bad)) failed=$((failed + bad))
done
echo "$name: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
