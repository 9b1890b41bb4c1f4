#!/usr/bin/env bash
# Plays a ride script against the built plugin under Wine, prints its trace
# and draws it as a picture.
# Usage: play.sh [--svg FILE] [RIDE]
#   RIDE        default: the default ride beside this script
#   --svg FILE  where the picture goes; default build/ride/RIDE'S NAME.svg
# The build is $QUILLMERE_BUILD (default: the windows build), and the plugin
# the one in the folder where that build put the package ($QUILLMERE_DIST
# names another folder, for tests).
# Colour swatches are drawn when the output is a terminal and NO_COLOR is unset.
# A ride that cannot be played gets one line, "file:line: what is wrong", and
# exit status 2; one that fails on the way, one line "error: ..." and status 1.
# The ride plays in a folder of its own, which goes when the ride ends,
# however it ends: also on Ctrl-C or a kill.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${QUILLMERE_BUILD:-$root/build/windows}
svg=
if [ "${1:-}" = --svg ] && [ $# -ge 2 ]; then
  svg=$2
  shift 2
fi
ride=${1:-$here/default.ride}

if [ -n "${QUILLMERE_DIST:-}" ]; then
  dist=$QUILLMERE_DIST
elif [ -f "$build/package-folder" ]; then
  dist=$(<"$build/package-folder")
else
  echo "error: $build holds no package; run make first" >&2
  exit 1
fi
for needed in "$build/bin/ride.exe" "$dist/Quillmere.asi"; do
  if [ ! -f "$needed" ]; then
    echo "error: $needed is missing; run make first" >&2
    exit 1
  fi
done

if [ -z "$svg" ]; then
  name=${ride##*/}
  svg=$root/build/ride/${name%.*}.svg
fi
if [ "$(realpath -m -- "$svg")" = "$(realpath -m -- "$ride")" ]; then
  echo "$ride:1: the picture would overwrite the ride: give --svg another file" >&2
  exit 2
fi
mkdir -p -- "$(dirname -- "$svg")"
options=(--svg "$(realpath -m -- "$svg")")
if [ -t 1 ] && [ -z "${NO_COLOR:-}" ]; then
  options+=(--swatches)
fi

# The ride's folder, its current one, where it writes Quillmere.ini; and the
# pipe its trace comes through: on a terminal, Wine would stand its own
# console between the program and the terminal and redraw the text, swatches
# lost. Ctrl-C or a kill stops the ride and removes them.
folder=$(mktemp -d "${TMPDIR:-/tmp}/quillmere-ride.XXXXXX")
ride_pid=
reader_pid=
finish() {
  [ -z "$ride_pid" ] || kill "$ride_pid" 2>/dev/null || true
  [ -z "$ride_pid" ] || wait "$ride_pid" 2>/dev/null || true
  [ -z "$reader_pid" ] || wait "$reader_pid" 2>/dev/null || true
  rm -rf -- "$folder"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
mkdir "$folder/ride"
mkfifo "$folder/trace"
cat "$folder/trace" &
reader_pid=$!
"$root/tools/wine/run.sh" "$build" "$build/bin/ride.exe" "${options[@]}" --folder "$folder/ride" \
  "$(realpath -- "$dist/Quillmere.asi")" "$(realpath -m -- "$ride")" </dev/null >"$folder/trace" &
ride_pid=$!
status=0
wait "$ride_pid" || status=$?
ride_pid=
wait "$reader_pid" || true
reader_pid=
[ "$status" -eq 0 ] || exit "$status"
echo "The ride as a picture: $(realpath -m --relative-base="$PWD" -- "$svg")"
