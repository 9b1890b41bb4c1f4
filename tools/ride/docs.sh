#!/usr/bin/env bash
# make docs: remakes what docs/ shows of the default ride from a run of it:
# its picture, docs/ride.svg, and the trace excerpt in docs/ride.md, which
# holds the trace's sections under the headings ("-- ...") it lists. It
# writes only what is stale, and says so; otherwise it says both are current.
# With --check (make test), it writes nothing, and fails naming make docs
# when they are stale.
# Usage: docs.sh [--check]   (the environment names the build, as for play.sh)
set -euo pipefail
check=${1:-}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
picture=$root/docs/ride.svg
page=$root/docs/ride.md
work=$root/build/ride/docs
mkdir -p "$work"
# A ride that fails says why in one line, and this stops with its status.
trace=$(NO_COLOR=1 "$here/play.sh" --svg "$work/default.svg" "$here/default.ride")

# The page's excerpt: the lines between the fences after "An excerpt:".
excerpt() { awk '/An excerpt:/ { found = 1; next }
                 found && /^```/ { if (inside) exit; inside = 1; next }
                 inside' "$page"; }
old=$(excerpt)
[ -n "$old" ] || { echo "error: no trace excerpt in $page" >&2; exit 1; }
fresh=
while IFS= read -r heading; do
  section=$(awk -v heading="$heading" '$0 == heading { on = 1 } on && $0 == "" { exit } on' <<<"$trace")
  if [ -z "$section" ]; then
    echo "error: $page's excerpt shows the section \"$heading\", which the default ride no longer has: give it a heading the trace prints" >&2
    exit 1
  fi
  fresh+=${fresh:+$'\n\n'}$section
done < <(grep '^-- ' <<<"$old")

stale=()
cmp -s "$work/default.svg" "$picture" || stale+=(docs/ride.svg)
[ "$old" = "$fresh" ] || stale+=("docs/ride.md's trace excerpt")
if [ ${#stale[@]} -ne 0 ] && [ "$check" = --check ]; then
  echo "stale, against the default ride as it goes now: ${stale[*]}; run make docs" >&2
  exit 1
fi
if ! cmp -s "$work/default.svg" "$picture"; then
  cp "$work/default.svg" "$picture"
fi
if [ "$old" != "$fresh" ]; then
  awk -v fresh="$fresh" '/An excerpt:/ { found = 1 }
                         found && /^```/ { fence++; print; if (fence == 1) print fresh; next }
                         fence != 1 { print }' "$page" >"$work/ride.md"
  cp "$work/ride.md" "$page"
fi
if [ ${#stale[@]} -eq 0 ]; then
  echo "docs/ride.svg and docs/ride.md's trace excerpt are what the default ride gives now"
else
  echo "Remade from the default ride, which they no longer showed: ${stale[*]}"
fi
