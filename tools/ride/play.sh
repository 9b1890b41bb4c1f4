#!/usr/bin/env bash
# Plays a ride against the built plugin under Wine, prints its trace and
# draws it as a picture (docs/ride.md).
# Usage: play.sh [--svg FILE] [RIDE]   (default: default.ride, and
#        build/ride/NAME.svg for the ride's file name without its extension)
# $QUILLMERE_BUILD names the build (default: the windows one), $QUILLMERE_DIST
# the plugin's folder (default: its package). ride.exe never sees a name the
# ride's user chose: it reads the ride on standard input, in a folder of its
# own that goes when the ride ends, and lists the settings-file steps; each
# file they name is copied there once, and each step's settings-LINE leads to
# its copy. Its messages name a line, here the ride too.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${QUILLMERE_BUILD:-$root/build/windows}
dist=${QUILLMERE_DIST:-$build/dist}
svg=
[ "${1:-}" != --svg ] || [ $# -lt 2 ] || { svg=$2 && shift 2; }
[ $# -le 1 ] || { echo "usage: play.sh [--svg FILE] [RIDE]" >&2 && exit 2; }
ride=${1:-$here/default.ride}
name=${ride##*/}
svg=${svg:-$root/build/ride/${name%.*}.svg}
refuse() { printf '%s:%s\n' "$ride" "$1" >&2 && exit 2; }
fail() { echo "error: $1" >&2 && exit 1; }
{ [ -f "$ride" ] && [ -r "$ride" ]; } || refuse "1: not a ride script: no plain file of that name can be read"
[ ! "$svg" -ef "$ride" ] || refuse "1: the picture would overwrite the ride: give --svg another file"
{ [ -f "$build/bin/ride.exe" ] && [ -f "$dist/Quillmere.asi" ]; } || fail "no ride tool or plugin in $build; run make first"

folder=$(mktemp -d "$build/ride.XXXXXX")
trap 'rm -rf -- "$folder"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
ride_exe() { "$here/../wine/run.sh" "$build" "$build/bin/ride.exe" "$@" <"$ride" 2>"$folder/said"; }
said() { RIDE=$ride awk '/^[0-9]+:/ { $0 = ENVIRON["RIDE"] ":" $0 } 1' "$folder/said" >&2; }
ride_exe --settings-files >"$folder/settings" || { status=$? && said && exit "$status"; }
while read -r line file; do
  [[ $file == /* ]] || file=$(dirname -- "$ride")/$file
  { [ -f "$file" ] && [ -r "$file" ]; } ||
    refuse "$line: cannot read the settings file '$file': no plain file of that name can be read"
  copy=file-$(stat -L -c %d-%i -- "$file")
  [ -e "$folder/$copy" ] || head -c 1048577 -- "$file" >"$folder/$copy"
  [ "$(wc -c <"$folder/$copy")" -le 1048576 ] ||
    refuse "$line: the settings file '$file' is over 1048576 bytes"
  ln -s "$copy" "$folder/settings-$line"
done <"$folder/settings"

ride_exe "$dist/Quillmere.asi" "$folder" | PICTURE=$folder/picture.svg \
  awk '/^<svg / { picture = 1 } picture { print >ENVIRON["PICTURE"]; next } { print; fflush() }' &&
  status=0 || status=${PIPESTATUS[0]}
said
[ "$status" -eq 1 ] && [ "$ride" -ef "$here/default.ride" ] &&
  grep -q '^[0-9]*: expected' "$folder/said" &&
  echo "Its waits follow the switch spacing and the hold window: after changing either, make" \
    "tools/ride/default.ride's waits tell its story again, then run make docs." >&2
[ "$status" -eq 0 ] || { [ "$status" -eq 1 ] && [ -s "$folder/picture.svg" ]; } || exit "$status"
# Wine stopped before the program started ends quietly, status 0.
[ -s "$folder/picture.svg" ] || fail "the ride ended without drawing its picture (was it stopped?)"
{ mkdir -p -- "$(dirname -- "$svg")" && mv -fT -- "$folder/picture.svg" "$svg"; } 2>/dev/null ||
  fail "cannot write the picture $svg"
echo "The ride as a picture: $(realpath -m --relative-base="$PWD" -- "$svg")"
exit "$status"
