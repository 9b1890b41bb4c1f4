#!/usr/bin/env bash
# Everything make test does, from the project's root: builds every preset,
# runs each command the README documents in a short form, then each preset's
# tests through CTest. Prints a line per suite (and a failing suite's log),
# then one line that sums them up: "make test: N passed, M failed", where a
# command counts as one and a preset as its number of tests. Full output is
# kept in build/commands/*.log and build/PRESET/ctest.log.
# Usage: run-tests.sh PRESET...
set -uo pipefail
cd "$(dirname "$0")/.."
logs=build/commands
mkdir -p "$logs"

# Builds print only what goes wrong, not ninja's progress lines.
for preset in "$@"; do
  echo "== building $preset"
  cmake --preset "$preset" --log-level=WARNING >/dev/null &&
    cmake --build --preset "$preset" | { grep -Ev '^\[[0-9]+/[0-9]+\] |^ninja: no work to do' || true; }
  [ "${PIPESTATUS[0]}" -eq 0 ] || { echo "make test: the $preset build failed"; exit 1; }
done

# A ride of one's own, outside the project's folders.
own_ride=$logs/own.ride
printf 'note A ride of its own\nget-in 1 10,20,30\nwait 400\nkey-down N\nwait 50\nkey-up N\nwait 100\nget-out\nwait 16\n' >"$own_ride"

# The README's commands: name | command line | what its output must show
# (an extended regular expression).
commands=(
  "make lint|make -s lint|lint: format and clang-tidy clean"
  "make|make -s|The ride took [0-9.]+ s\. The ride as a picture: build/ride/default\.svg"
  "make ride RIDE=...|make -s ride RIDE=$own_ride|player +gets out .*The ride as a picture: build/ride/own\.svg"
  "make bench QUICK=1|make -s bench QUICK=1|own instructions per frame: .*shipped DLL frame/floor ratio"
  "make fuzz FUZZ_SECONDS=1|make -s fuzz FUZZ_SECONDS=1|100% tests passed, 0 tests failed out of 2"
  "make property PROPERTY_SEEDS=3|make -s property PROPERTY_SEEDS=3|\[  PASSED  \] 1 test"
  "make install, make uninstall|tests/install/check-game-folder.sh|game folders: all [0-9]+ cases as expected"
)

passed=0
failed=0
for row in "${commands[@]}"; do
  IFS='|' read -r name command shows <<<"$row"
  log=$logs/$(tr -cs 'A-Za-z0-9' - <<<"$name" | sed 's/-$//').log
  $command </dev/null >"$log" 2>&1
  status=$?
  if [ "$status" -eq 0 ] && tr '\n' ' ' <"$log" | grep -Eq "$shows"; then
    echo "$name: passed"
    passed=$((passed + 1))
  else
    echo "$name: FAILED (exit status $status; see $log)"
    tail -40 "$log"
    failed=$((failed + 1))
  fi
done

for preset in "$@"; do
  [ "$preset" = windows-debug ] && continue  # built only: its tests are the windows preset's
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
