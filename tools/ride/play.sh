#!/usr/bin/env bash
# Plays a ride script against the built plugin under Wine, prints its trace
# and draws it as a picture.
# Usage: play.sh [--svg FILE] [RIDE]
#   RIDE        default: the default ride beside this script
#   --svg FILE  where the picture goes; default build/ride/RIDE'S NAME.svg,
#               each letter of the name Windows reads otherwise made '_'
# The build is $QUILLMERE_BUILD (default: the windows build), and the plugin
# the one in the folder where that build put the package ($QUILLMERE_DIST
# names another folder, for tests).
# Colour swatches are drawn when the output is a terminal and NO_COLOR is unset.
# A ride that cannot be played gets one line, "file:line: what is wrong", and
# exit status 2; one that fails on the way, one line "error: ..." and status 1.
# The ride plays in a folder of its own, which goes when the ride ends,
# however it ends: also on Ctrl-C or a kill.
# Any name is taken as Linux names it, though Wine would read some as others
# (a backslash is a separator to it): the ride plays from a copy under a name
# of ours, and the picture is put in its place here. The messages and the
# picture name the ride as given, control characters as \xNN.
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

# A name as the messages show it, on one line: a control character as \xNN,
# as ride.exe shows it.
shown() {
  local LC_ALL=C text=$1 out='' c i
  for ((i = 0; i < ${#text}; i++)); do
    c=${text:i:1}
    [[ $c != [[:cntrl:]] ]] || printf -v c '\\x%02x' "'$c"
    out+=$c
  done
  printf '%s' "$out"
}
# The ride cannot be played: status 2.
refuse() {
  echo "$(shown "$ride"):1: $1" >&2
  exit 2
}
# A failure on the way: status 1.
fail() {
  echo "error: $1" >&2
  exit 1
}
# realpath's answer in $resolved, whatever the path ends in (a command
# substitution would drop its line ends).
resolve() {
  resolved=$(realpath "$@" 2>/dev/null && echo .) || return 1
  resolved=${resolved%$'\n.'}
}
# A path handed to Wine must name the same file for it as for Linux: no
# letter Windows reads otherwise (a separator, a wildcard, a quote, a bar, a
# colon, a control character) and no name ending in a dot, which Windows
# drops. The path is resolved: no "." or ".." in it. WHAT says whose it is.
wine_reads_as_linux() { # PATH WHAT
  local odd=${1//[!\\*?\"<>|:[:cntrl:]]/}
  if [ -n "$odd" ]; then
    fail "$2 $(shown "$1") holds '$(shown "${odd:0:1}")', which Wine reads otherwise than Linux"
  fi
  if [[ $1/ == *./* ]]; then
    fail "$2 $(shown "$1") has a name ending in a dot, which Windows drops"
  fi
}

if [ -n "${QUILLMERE_DIST:-}" ]; then
  dist=$QUILLMERE_DIST
elif [ -d "$build/dist" ]; then
  dist=$build/dist
else
  fail "$(shown "$build") holds no package; run make first"
fi
for needed in "$build/bin/ride.exe" "$dist/Quillmere.asi"; do
  [ -f "$needed" ] || fail "$(shown "$needed") is missing; run make first"
done

# The ride as Linux names it; it plays from a copy. The settings files it
# names are found from its folder, links followed.
if [[ -d $ride ]]; then
  refuse "not a ride script: it is a folder, not a file"
elif [[ ! -e $ride || ! -r $ride ]]; then
  refuse "not a ride script: no file of that name can be read"
elif [[ ! -f $ride ]]; then
  refuse "not a ride script: it is not a plain file (a device or a pipe)"
fi
resolve -- "$ride" || refuse "not a ride script: no file of that name can be read"
real=$resolved

if [ -z "$svg" ]; then
  name=${ride##*/}
  name=${name%.*}
  svg=$root/build/ride/${name//[\\*?\"<>|:;[:cntrl:]]/_}.svg
fi
resolve -m -- "$svg" || fail "cannot write the picture $(shown "$svg"): its path does not resolve"
if [ "$resolved" = "$real" ]; then
  refuse "the picture would overwrite the ride: give --svg another file"
fi
if [[ -d $svg || $svg == */ ]]; then
  fail "cannot write the picture $(shown "$svg"): it names a folder, not a file"
fi

# The ride's folder, its current one, where it writes Quillmere.ini; the
# copy of the ride and its picture; and the pipe its trace comes through: on
# a terminal, Wine would stand its own console between the program and the
# terminal and redraw the text, swatches lost. Ctrl-C or a kill stops the
# ride and removes them, and the picture's new file beside its place.
folder=
ride_pid=
reader_pid=
next=
stopped=
finish() {
  [ -z "$ride_pid" ] || kill "$ride_pid" 2>/dev/null || true
  [ -z "$ride_pid" ] || wait "$ride_pid" 2>/dev/null || true
  [ -z "$reader_pid" ] || wait "$reader_pid" 2>/dev/null || true
  [ -z "$folder" ] || rm -rf -- "$folder"
  [ -z "$next" ] || rm -f -- "$next"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
temporary=${TMPDIR:-/tmp}
folder=$(mktemp -d -- "$temporary/quillmere-ride.XXXXXX" 2>/dev/null) ||
  fail "cannot make a folder for the ride in $(shown "$temporary")"
resolve -- "$folder" || fail "cannot find the folder $(shown "$folder")"
folder=$resolved
wine_reads_as_linux "$folder" "the temporary folder"
resolve -- "$dist/Quillmere.asi" || fail "cannot find the plugin $(shown "$dist")/Quillmere.asi"
plugin=$resolved
wine_reads_as_linux "$plugin" "the plugin"
resolve -- "$build/bin/ride.exe" || fail "cannot find $(shown "$build")/bin/ride.exe"
program=$resolved
wine_reads_as_linux "$program" "the ride tool"
if ! mkdir "$folder/ride" 2>/dev/null || ! mkfifo "$folder/trace" 2>/dev/null; then
  fail "cannot make the ride's files in $(shown "$folder")"
fi
# A byte more than ride.exe takes (LargestRide), for it to refuse a ride too long.
head -c $((16 * 1024 * 1024 + 1)) -- "$ride" >"$folder/script.ride" 2>/dev/null ||
  refuse "not a ride script: no file of that name can be read"

options=(--svg "$folder/picture.svg" --name "$ride" --relative-to "${real%/*}/")
if [ -t 1 ] && [ -z "${NO_COLOR:-}" ]; then
  options+=(--swatches)
fi
cat "$folder/trace" &
reader_pid=$!
"$root/tools/wine/run.sh" "$build" "$program" "${options[@]}" --folder "$folder/ride" \
  "$plugin" "$folder/script.ride" </dev/null >"$folder/trace" &
ride_pid=$!
status=0
wait "$ride_pid" || status=$?
ride_pid=
wait "$reader_pid" || true
reader_pid=
[ "$status" -eq 0 ] || exit "$status"
# Wine stopped before the program started ends quietly, status 0.
[ -s "$folder/picture.svg" ] || fail "the ride ended without drawing its picture (was it stopped?)"

# The picture goes to a new file beside its place, then is renamed over it:
# never half written, and a link there is replaced, not written through. The
# new file is made (never an existing one taken) and marked ours with Ctrl-C
# held off, so that what is removed on the way out is only ours.
into=.
[[ $svg != */* ]] || into=${svg%/*}
mkdir -p -- "${into:-/}" 2>/dev/null || fail "cannot write the picture $(shown "$svg"): cannot make its folder"
new=$into/.${folder##*/}.svg
trap 'stopped=130' INT
trap 'stopped=143' TERM
set -C
{ : >"$new"; } 2>/dev/null && next=$new
set +C
trap 'exit 130' INT
trap 'exit 143' TERM
[ -z "$stopped" ] || exit "$stopped"
[ -n "$next" ] || fail "cannot write the picture $(shown "$svg"): cannot make a file in its folder"
cat -- "$folder/picture.svg" >"$next" 2>/dev/null || fail "cannot write the picture $(shown "$svg")"
mv -fT -- "$next" "$svg" 2>/dev/null || fail "cannot write the picture $(shown "$svg"): cannot rename a file over it"
next=
where=$svg
! resolve -m --relative-base="$PWD" -- "$svg" || where=$resolved
echo "The ride as a picture: $(shown "$where")"
