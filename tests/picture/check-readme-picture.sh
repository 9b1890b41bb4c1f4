#!/usr/bin/env bash
# The README shows docs/ride.svg: it must be the picture the default ride
# draws now, or the README shows an old behaviour.
# Usage: check-readme-picture.sh PLAY DEFAULT_RIDE SHOWN WORK
#   (the environment names the build, as for play.sh)
set -euo pipefail
play=$1
ride=$2
shown=$3
work=$4
mkdir -p "$work"
"$play" --svg "$work/default.svg" "$ride" >/dev/null
if ! cmp -s "$work/default.svg" "$shown"; then
  echo "FAIL: $shown is not what the default ride draws now: make, then copy build/ride/default.svg there" >&2
  exit 1
fi
echo "$shown is what the default ride draws now"
