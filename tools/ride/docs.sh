#!/usr/bin/env bash
# make docs: remakes docs/ride.svg from a run of the default ride, and the
# trace excerpt in docs/ride.md: the run's sections (a heading "-- ..." to a
# blank line) under the headings it holds, where stale. With --check (make
# test), it writes nothing, and fails naming make docs where either is.
# Usage: docs.sh [--check]   (the environment names the build, as for play.sh)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
docs=$here/../../docs
work=$here/../../build/ride/docs
mkdir -p "$work"
"$here/play.sh" --svg "$work/ride.svg" "$here/default.ride" >"$work/trace"
awk 'FNR == NR { if (/^-- /) h = $0; else if ($0 == "") h = ""; if (h != "") section[h] = section[h] $0 "\n"; next }
     inside && /^```/ { printf "%s", out; inside = 0 }
     inside { if (/^-- /) { missing = missing ($0 in section ? "" : " " $0); out = out (out == "" ? "" : "\n") section[$0] } next }
     { print }
     /An excerpt:/ { after = 1 }
     after && /^```/ && !seen++ { inside = 1 }
     END { if (missing != "") { print "error: the default ride has no section" missing > "/dev/stderr"; exit 1 } }' \
  "$work/trace" "$docs/ride.md" >"$work/ride.md"
stale=()
cmp -s "$work/ride.svg" "$docs/ride.svg" || stale+=(docs/ride.svg)
cmp -s "$work/ride.md" "$docs/ride.md" || stale+=("docs/ride.md's trace excerpt")
if [ ${#stale[@]} -eq 0 ]; then
  echo "docs/ride.svg and docs/ride.md's trace excerpt are what the default ride gives now"
elif [ "${1:-}" = --check ]; then
  echo "stale, against the default ride as it goes now: ${stale[*]}; run make docs" >&2
  exit 1
else
  cp "$work/ride.svg" "$work/ride.md" "$docs/"
  echo "Remade from the default ride, which they no longer showed: ${stale[*]}"
fi
