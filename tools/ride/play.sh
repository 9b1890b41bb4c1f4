#!/usr/bin/env bash
# Plays a ride script against dist/Quillmere.asi under Wine, prints its
# trace and draws it as a picture.
# Usage: play.sh [--svg FILE] [RIDE]
#   RIDE        default: the default ride beside this script
#   --svg FILE  where the picture goes; default build/ride/RIDE'S NAME.svg
# Colour swatches are drawn when the output is a terminal and NO_COLOR is unset.
# A ride that cannot be played gets one line, "file:line: what is wrong", and
# exit status 2; one that fails on the way, one line "error: ..." and status 1.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${QUILLMERE_BUILD:-$root/build/windows}
dist=${QUILLMERE_DIST:-$root/dist}
svg=
if [ "${1:-}" = --svg ] && [ $# -ge 2 ]; then
  svg=$2
  shift 2
fi
ride=${1:-$here/default.ride}

# Refused before Wine sees them: anything but a regular file (a folder, a
# pipe, a device), and the names Windows keeps for its devices, whatever the
# folder or extension (aux.ride would open the AUX device and hang).
if [ ! -f "$ride" ]; then
  echo "$ride:1: not a ride script: no regular file of that name" >&2
  exit 2
fi
stem=$(basename "$ride")
stem=${stem%%.*}
case "${stem^^}" in
  CON | PRN | AUX | NUL | COM[1-9] | LPT[1-9] | CONIN\$ | CONOUT\$)
    echo "$ride:1: '$stem' is a Windows device name, which Windows would open instead of the file: rename the ride" >&2
    exit 2
    ;;
esac
for needed in "$build/bin/ride.exe" "$dist/Quillmere.asi"; do
  if [ ! -f "$needed" ]; then
    echo "error: $needed is missing; run make first" >&2
    exit 1
  fi
done

if [ -z "$svg" ]; then
  name=$(basename "$ride")
  svg=$root/build/ride/${name%.*}.svg
fi
if [ "$(realpath -m "$svg")" = "$(realpath "$ride")" ]; then
  echo "$ride:1: the picture would overwrite the ride: give --svg another file" >&2
  exit 2
fi
mkdir -p "$(dirname "$svg")"
options=(--svg "$(realpath -m "$svg")")
if [ -t 1 ] && [ -z "${NO_COLOR:-}" ]; then
  options+=(--swatches)
fi
# Through a pipe: on a terminal, Wine would stand its own console between the
# program and the terminal and redraw the text, swatches lost.
"$root/tools/wine/run.sh" "$build/wineprefix" "$build/bin/ride.exe" "${options[@]}" \
  "$(realpath "$dist/Quillmere.asi")" "$(realpath "$ride")" </dev/null | cat
echo "The ride as a picture: $(realpath -m --relative-base="$PWD" "$svg")"
