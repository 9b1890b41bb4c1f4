#!/usr/bin/env bash
# The one row shape of a check that runs a command: runs COMMAND (its
# standard input empty) and passes when it ends with exit status STATUS and
# what it says, its lines joined by blanks, matches PATTERN (an extended
# regular expression; empty: anything). Otherwise it says first which of the
# two failed, then the end of what the command said.
# Usage: expect.sh STATUS PATTERN COMMAND...
set -uo pipefail
status=$1
pattern=$2
shift 2
said=$("$@" </dev/null 2>&1)
got=$?
if [ "$got" -ne "$status" ]; then
  echo "FAIL: exit status $got, not $status"
elif ! printf '%s' "$said" | tr '\n' ' ' | grep -Eq -- "$pattern"; then
  echo "FAIL: what it said does not match: $pattern"
else
  tail -5 <<<"$said"
  exit 0
fi
tail -30 <<<"$said"
exit 1
