#!/usr/bin/env bash
# Plays a ride script against dist/Quillmere.asi under Wine.
# Usage: play.sh [RIDE]   (default: the default ride beside this script)
# Colour swatches are drawn when the output is a terminal and NO_COLOR is unset.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${QUILLMERE_BUILD:-$root/build/windows}
dist=${QUILLMERE_DIST:-$root/dist}
ride=${1:-$here/default.ride}

if [ ! -f "$ride" ]; then
  echo "error: no ride script at $ride" >&2
  exit 2
fi
for needed in "$build/bin/ride.exe" "$dist/Quillmere.asi"; do
  if [ ! -f "$needed" ]; then
    echo "error: $needed is missing; run make first" >&2
    exit 1
  fi
done

options=()
if [ -t 1 ] && [ -z "${NO_COLOR:-}" ]; then
  options+=(--swatches)
fi
# Through a pipe: on a terminal, Wine would stand its own console between the
# program and the terminal and redraw the text, swatches lost.
"$root/tools/wine/run.sh" "$build/wineprefix" "$build/bin/ride.exe" "${options[@]}" \
  "$(realpath "$dist/Quillmere.asi")" "$(realpath "$ride")" </dev/null | cat
