#!/usr/bin/env bash
# The README and docs/ride.md show the default ride: its picture,
# docs/ride.svg, must be the one the ride draws now, and every line of the
# page's trace excerpt must be a line the ride prints now, in the same order.
# Otherwise they show an old behaviour.
# Usage: check-readme-ride.sh PLAY DEFAULT_RIDE PICTURE PAGE WORK
#   (the environment names the build, as for play.sh)
set -euo pipefail
play=$1
ride=$2
shown=$3
readme=$4
work=$5
mkdir -p "$work"
if ! trace=$(NO_COLOR=1 "$play" --svg "$work/default.svg" "$ride"); then
  echo "FAIL: the default ride did not play"
  exit 1
fi
failed=0
if ! cmp -s "$work/default.svg" "$shown"; then
  echo "FAIL: $shown, the README's picture, is not what the default ride draws now: make, then copy build/ride/default.svg there"
  failed=1
fi
excerpt=$(awk '/An excerpt:/ { found = 1; next }
               found && /^```/ { if (inside) exit; inside = 1; next }
               inside' "$readme")
[ -n "$excerpt" ] || { echo "FAIL: no trace excerpt in $readme"; exit 1; }
at=0
while IFS= read -r line; do
  [ -n "$line" ] || continue
  found=$(tail -n +$((at + 1)) <<<"$trace" | { grep -nxF -- "$line" || true; } | head -1 | cut -d: -f1)
  if [ -z "$found" ]; then
    echo "FAIL: the README's trace excerpt has a line the ride does not print (here): $line"
    failed=1
    break
  fi
  at=$((at + found))
done <<<"$excerpt"
[ "$failed" -eq 0 ] && echo "the README's picture and trace excerpt are what the default ride gives now"
exit "$failed"
