#!/usr/bin/env bash
# Checks that the environment variable NAME holds a whole number from LOW to
# HIGH, in decimal digits; otherwise one line, and exit status 2.
# Usage: whole-number.sh NAME LOW HIGH
set -euo pipefail
name=$1 low=$2 high=$3 value=${!name-}
# At most 15 digits: beyond, bash's arithmetic would wrap.
[[ $value =~ ^[0-9]{1,15}$ ]] && ((10#$value >= low && 10#$value <= high)) && exit 0
shown=$(printf '%s' "${value:0:40}" | tr -c '[:print:]' '?')
echo "$name must be a whole number from $low to $high, not '$shown'" >&2
exit 2
