#!/usr/bin/env bash
# Everything make test does, from the project's root: builds every preset
# CMakePresets.json defines, runs each command the README documents in a
# short form (and with bad numbers, which must stop it), then the tests of
# every preset that has a test preset, through CTest. Prints a line per
# suite (and a failing suite's log), then one line that sums them up:
# "make test: N passed, M failed", where a command counts as one and a
# preset as its number of tests. Full output is kept in build/commands/*.log
# and build/PRESET/ctest.log.
# Usage: run-tests.sh
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=tools/suites.sh
source tools/suites.sh
forget_user_settings
summary_name="make test"
logs=build/commands
mkdir -p "$logs"

mapfile -t presets < <(tools/presets.sh)
for preset in "${presets[@]}"; do
  build_preset "$preset"
done

# A ride of one's own, outside the project's folders' sources.
printf 'note A ride of its own\nget-in 1 10,20,30\nwait 400\nkey-down N\nwait 50\nkey-up N\nwait 100\nget-out\nwait 16\n' \
  >"$logs/own.ride"
fuzzers=$(ctest --preset linux-asan -N -L fuzz | sed -n 's/^Total Tests: //p')

# The README's commands: name | exit status | what its output must show (an
# extended regular expression) | the command's words (none holds a blank).
commands=(
  "make lint|0|lint: format, clang-tidy and shellcheck clean|make -s lint"
  "make|0|The ride took [0-9.]+ s\. The ride as a picture: build/ride/default\.svg|make -s"
  "make ride RIDE=...|0|player +gets out .*The ride as a picture: build/ride/own\.svg|make -s ride RIDE=$logs/own.ride"
  "make docs, as a check|0|docs/ride\.svg and docs/ride\.md's trace excerpt are what the default ride gives now|tools/ride/docs.sh --check"
  "make bench QUICK=1|0|own instructions per frame: .*shipped DLL frame/floor ratio.*install into a game folder: |make -s bench QUICK=1"
  "make fuzz FUZZ_SECONDS=1|0|100% tests passed, 0 tests failed out of $fuzzers|make -s fuzz FUZZ_SECONDS=1"
  "make fuzz FUZZ_SECONDS=0|2|FUZZ_SECONDS must be a whole number from 1 to 86400, not '0'|make -s fuzz FUZZ_SECONDS=0"
  "make property PROPERTY_SEEDS=3|0|\[  PASSED  \] 1 test|make -s property PROPERTY_SEEDS=3"
  "make property PROPERTY_SEEDS=1e3|2|PROPERTY_SEEDS must be a whole number from 1 to 1000000, not '1e3'|make -s property PROPERTY_SEEDS=1e3"
  "make install, make uninstall|0|game folders \(linux CMake\): all [0-9]+ cases as expected|tests/install/check-game-folder.sh"
  "cmake -P tools/plugin-files.cmake, Windows CMake|0|game folders \(windows CMake\): all [0-9]+ cases as expected|tests/install/check-game-folder.sh windows"
)

passed=0
failed=0
for row in "${commands[@]}"; do
  IFS='|' read -r name expected shows words <<<"$row"
  read -ra command <<<"$words"
  log=$logs/$(tr -cs 'A-Za-z0-9' - <<<"$name" | sed 's/-$//').log
  status=0
  "${command[@]}" </dev/null >"$log" 2>&1 || status=$?
  if [ "$status" -eq "$expected" ] && tr '\n' ' ' <"$log" | grep -Eq "$shows"; then
    echo "$name: passed"
    passed=$((passed + 1))
  else
    if [ "$status" -eq "$expected" ]; then
      echo "$name: FAILED (not the output expected; see $log)"
    else
      echo "$name: FAILED (exit status $status, not $expected; see $log)"
    fi
    tail -40 "$log"
    failed=$((failed + 1))
  fi
done

mapfile -t tested < <(tools/presets.sh test)
for preset in "${tested[@]}"; do
  run_ctest "$preset"
done
echo "make test: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
