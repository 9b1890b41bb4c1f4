#!/usr/bin/env bash
# make docs: remakes what docs/ shows of the default ride from a run of it:
# its picture, docs/ride.svg, and the trace excerpt in docs/ride.md, which
# holds the trace's sections under the headings ("-- ...") it lists.
# With --check WORK it changes nothing: it plays the ride in WORK and fails,
# naming make docs, where the two are not what the ride gives now.
# Usage: docs.sh [--check WORK]   (the environment names the build, as for play.sh)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
picture=$root/docs/ride.svg
page=$root/docs/ride.md
check=
work=$root/build/ride/docs
if [ "${1:-}" = --check ] && [ $# -eq 2 ]; then
  check=1
  work=$2
elif [ $# -ne 0 ]; then
  echo "usage: $0 [--check WORK]" >&2
  exit 2
fi
mkdir -p "$work"
if ! trace=$(NO_COLOR=1 "$here/play.sh" --svg "$work/default.svg" "$here/default.ride"); then
  echo "FAIL: the default ride did not play"
  exit 1
fi

# The page's excerpt: the lines between the fences after "An excerpt:".
excerpt() { awk '/An excerpt:/ { found = 1; next }
                 found && /^```/ { if (inside) exit; inside = 1; next }
                 inside' "$page"; }
old=$(excerpt)
[ -n "$old" ] || { echo "FAIL: no trace excerpt in $page"; exit 1; }
fresh=
while IFS= read -r heading; do
  section=$(awk -v heading="$heading" '$0 == heading { on = 1 } on && $0 == "" { exit } on' <<<"$trace")
  if [ -z "$section" ]; then
    echo "FAIL: $page's excerpt shows the section \"$heading\", which the default ride no longer has: give the excerpt a heading the trace prints"
    exit 1
  fi
  fresh+=${fresh:+$'\n\n'}$section
done < <(grep '^-- ' <<<"$old")

if [ -n "$check" ]; then
  failed=0
  if ! cmp -s "$work/default.svg" "$picture"; then
    echo "FAIL: $picture is not what the default ride draws now: run make docs"
    failed=1
  fi
  if [ "$old" != "$fresh" ]; then
    echo "FAIL: $page's trace excerpt is not what the default ride prints now: run make docs"
    failed=1
  fi
  [ "$failed" -eq 0 ] && echo "docs/ride.svg and docs/ride.md's excerpt are what the default ride gives now"
  exit "$failed"
fi

cp "$work/default.svg" "$picture"
awk -v fresh="$fresh" '/An excerpt:/ { found = 1 }
                       found && /^```/ { fence++; print; if (fence == 1) print fresh; next }
                       fence != 1 { print }' "$page" >"$work/ride.md"
cp "$work/ride.md" "$page"
echo "Remade docs/ride.svg and docs/ride.md's trace excerpt from the default ride."
