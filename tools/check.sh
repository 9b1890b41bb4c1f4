#!/usr/bin/env bash
# make check: the quick loop after a change to the plugin. It builds what a
# change to the plugin's sources touches in two builds and runs what catches
# a wrong change: the g++ unit, stress and property tests (fixed seeds), the
# player's text against the player's facts, the frame's own instructions
# against their target, the end-to-end cases of the shipped DLL under Wine
# and the default ride with its bad rides. make test runs all of it and much
# more; run that before a pull request. Prints the failing tests with their
# first assertion, and ends with "make check: N passed, M failed".
# Usage: check.sh
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=tools/suites.sh
source tools/suites.sh
forget_user_settings
summary_name="make check"
passed=0
failed=0
build_preset linux-gcc
build_preset windows
run_ctest linux-gcc
run_ctest windows -L e2e
echo "make check: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
