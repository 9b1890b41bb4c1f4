#!/usr/bin/env bash
# The ride tool on bad rides, one table: every row must end with exit status
# 2 and one short LF-ended line on standard error, "FILE:LINE: MESSAGE", the
# message matching the row's pattern, within a time limit (a ride that hangs
# fails). The last rows are rides it must accept, whatever the letters of
# their names and notes, drawing a picture that is well-formed XML. Then
# failures on the way (a plugin that does not load, a picture that cannot be
# written): exit status 1 and one line, "error: ...". Then pictures named
# with letters Windows reads otherwise, and a ride killed while it plays.
# Nothing may be left behind: no ride folder in the temporary folder, no
# Quillmere.ini in the caller's.
# Usage: check-errors.sh PLAY   (the environment names the build, as for play.sh)
set -euo pipefail
play=$(realpath "$1")
root=$(cd "$(dirname "$play")/../.." && pwd)
unset QUILLMERE_DIST
folder=$(TMPDIR=/tmp mktemp -d)
trap 'rm -rf -- "$folder"' EXIT
failures=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}
megabyte=$(head -c 1000000 /dev/zero | tr '\0' 'x')
day_and_an_hour=$(for _ in $(seq 25); do printf 'wait 3600000\\n'; done)
# The rides' own temporary folder, to see what they leave; the build's
# folder is searched too, Wine's temporary folders being in it.
export TMPDIR=$folder/tmp
mkdir "$TMPDIR"
build=${QUILLMERE_BUILD:-$(cd "$(dirname "$0")/../.." && pwd)/build/windows}
touch "$folder/start"
ride_folders() { find "$folder" "$build" -name '*quillmere-ride*' -newer "$folder/start"; }
cd "$folder"

# Plays a ride with a time limit, keeping its output and status.
played() {
  status=0
  timeout 30 "$@" >"$folder/out" 2>"$folder/err" || status=$?
}

# A name as the ride tool's messages show it: a control character as \xNN.
shown() {
  local LC_ALL=C i c
  REPLY=
  for ((i = 0; i < ${#1}; i++)); do
    c=${1:i:1}
    [[ $c != [[:cntrl:]] ]] || printf -v c '\\x%02x' "'$c"
    REPLY+=$c
  done
}

# A picture that is well-formed XML, as a browser needs it.
well_formed() {
  python3 -c 'import sys, xml.etree.ElementTree as tree; tree.parse(sys.argv[1])' "$1" 2>/dev/null
}

# name | file | line | message pattern (extended regex) | ride text; the
# file's name and the text are printf formats. A name Wine would misread
# lands on an earlier row's bad ride.
rows=(
  "unknown-step|unknown-step.ride|2|unknown step 'frobnicate' \(known: note, |# a ride\nfrobnicate\n"
  "empty|empty.ride|1|nothing to play|"
  "comments-only|comments.ride|3|nothing to play|# one\n\n   # two\n"
  "ctrl-z|ctrl-z.ride|2|unknown step '\\\\x1a'|note a\n\x1a\nwait 16\n"
  "binary|binary.ride|1|unknown step '\\\\x01\\\\x02\\\\xff\\\\x1b\[2J'|\x01\x02\xff\x1b[2J\n"
  "long-line|long.ride|1|unknown step 'x{40}'\.\.\. |${megabyte}\n"
  "device-name|aux.ride|1|not a ride script: 'aux' is a Windows device name|wait 16\n"
  "device-name-as-windows-reads-it|aux .ride|1|not a ride script: 'aux ' is a Windows device name|wait 16\n"
  "device-name-holding-a-ride|nul .ride|1|not a ride script: 'nul ' is a Windows device name|get-in 1 1,2,3\nwait 16\n"
  "not-a-file|folder.ride|1|not a ride script: it is a folder, not a file|"
  "not-a-file-named-with-a-line-end|folder\n.ride|1|not a ride script: it is a folder, not a file|"
  "settings-file-device|settings-aux.ride|2|cannot read the settings file '.*/aux': 'aux' is a Windows device name|wait 16\nsettings-file aux\n"
  "settings-file-endless|settings-zero.ride|1|cannot read the settings file '/dev/zero': it is not a plain file|settings-file /dev/zero\n"
  "longer-than-a-day|a-day-and-an-hour.ride|25|the ride would last more than a day|${day_and_an_hour}"
  "new-vehicle-colourless|colourless.ride|2|vehicle 3 is new: give its neon colour as R,G,B|wait 16\nget-in 3\n"
  "bad-colour|bad-colour.ride|1|a colour is R,G,B|get-in 1 255,0\n"
  "on-foot|on-foot.ride|1|the player is on foot already|get-out\n"
  "bad-key|bad-key.ride|1|'Hyper' is not a key|key-down Hyper\n"
  "bare-number-key|bare-number.ride|1|'78' is not a key: .*code:78|key-down 78\n"
  "key-code-range|key-code.ride|1|a key code must be a whole number from 0 to 254, not '255'|key-down code:255\n"
  "bad-wait|bad-wait.ride|1|a wait must be a whole number|wait soon\n"
  "bad-setting|bad-setting.ride|1|settings take NAME=VALUE, such as quillmere=78, not 'quillmere'|settings quillmere\n"
  "names-the-ride-as-named|sub/..\\\\*\x01\n.ride|2|unknown step 'frobnicate'|wait 16\nfrobnicate\n"
  "settings-file-backslash|settings-backslash.ride|2|cannot read the settings file '.*: its name holds a backslash|wait 16\nsettings-file sub\\\\..\\\\unknown-step.ride\n"
  "settings-file-letter-case|settings-case.ride|1|cannot read the settings file '.*': Wine would open .*/unknown-step.ride instead|settings-file UNKNOWN-STEP.RIDE\n"
  "accepts-bom-case-code-settings|accepts.ride|0||\xef\xbb\xbfNOTE Case\nSettings Quillmere=0x4C quillmere_modifier=-1\nGET-IN 1 1,2,3\nKey-Down code:8\nkey-up CODE:0\nwait 16\n"
  "accepts-any-letters|ドライブ café.ride|0||note caf\xc3\xa9 \xe3\x83\x89 \x01 \x1b[2J \xff\xfe \xc0\xaf & <b>\nget-in 1 1,2,3\nwait 16\n"
  "accepts-backslashes|sub/..\\\\unknown-step.ride|0||get-in 1 1,2,3\nwait 16\n"
  "accepts-wildcards-and-marks|*?\"<>\x7c:;.ride|0||get-in 1 1,2,3\nwait 16\n"
  "accepts-a-line-end-last|empty.ride\n|0||get-in 1 1,2,3\nwait 16\n"
  "accepts-settings-file-beside-the-ride|sub/..\\\\settings-beside.ride|0||settings-file ../unknown-step.ride\nwait 16\n"
)

for row in "${rows[@]}"; do
  IFS='|' read -r name file line pattern text <<<"$row"
  # shellcheck disable=SC2059 # the row's file is a printf format
  printf -v file -- "$file"
  ride="$folder/$file"
  mkdir -p "${ride%/*}"
  if [[ $name == not-a-file* ]]; then
    mkdir -p "$ride"
  else
    # shellcheck disable=SC2059 # the row's text is a printf format
    printf "$text" >"$ride"
  fi
  played "$play" --svg "$folder/picture.svg" "$ride"
  if [ "$line" = 0 ]; then
    if [ "$status" -ne 0 ]; then
      fail "$name: exit $status: $(head -c 300 "$folder/err")"
    elif ! well_formed "$folder/picture.svg"; then
      fail "$name: the picture is not well-formed XML"
    fi
    continue
  fi
  message=$(cat "$folder/err")
  lines=$(wc -l <"$folder/err")
  shown "$ride:$line: "
  if [ "$status" -ne 2 ] || [ "$lines" -ne 1 ] || [ "${#message}" -gt 300 ] ||
    grep -q $'\r' "$folder/err" || [[ $message != "$REPLY"* ]] ||
    ! grep -Eq "^$pattern" <<<"${message#"$REPLY"}"; then
    fail "$name: exit $status, $lines line(s): $(head -c 300 "$folder/err" | cat -v)"
  fi
done

# Failures on the way: name | pattern | an environment variable, or none | picture.
printf 'get-in 1 1,2,3\nwait 16\n' >"$folder/fine.ride"
mkdir "$folder/not-a-plugin" "$folder/folder.svg" "$folder/back\\slash" "$folder/dot."
printf 'not a DLL\n' >"$folder/not-a-plugin/Quillmere.asi"
failing=(
  "plugin-does-not-load|error: cannot load the plugin .*not-a-plugin/Quillmere.asi|QUILLMERE_DIST=$folder/not-a-plugin|$folder/p.svg"
  "picture-not-written|error: cannot write the picture .*folder.svg: it names a folder||$folder/folder.svg"
  "picture-folder-not-made|error: cannot write the picture .*fine.ride/p.svg: cannot make its folder||$folder/fine.ride/p.svg"
  "no-temporary-folder|error: cannot make a folder for the ride in .*/none|TMPDIR=$folder/none|$folder/p.svg"
  "temporary-folder-misread|error: the temporary folder .*/back.slash/quillmere-ride\..* holds '.'|TMPDIR=$folder/back\\slash|$folder/p.svg"
  "temporary-folder-dropped-dot|error: the temporary folder .*/dot\./quillmere-ride\..* has a name ending in a dot|TMPDIR=$folder/dot.|$folder/p.svg"
)
for row in "${failing[@]}"; do
  IFS='|' read -r name pattern variable svg <<<"$row"
  command=("$play" --svg "$svg" "$folder/fine.ride")
  [ -z "$variable" ] || command=(env "$variable" "${command[@]}")
  played "${command[@]}"
  if [ "$status" -ne 1 ] || [ "$(wc -l <"$folder/err")" -ne 1 ] || ! grep -Eq "^$pattern" "$folder/err"; then
    fail "$name: exit $status: $(head -c 300 "$folder/err" | cat -v)"
  fi
done

# Pictures named with letters Windows reads otherwise land where named: one
# named with --svg as the ride is but for a line end, the ride left as it
# was; and the default one in build/ride/, its name made safe, its title
# naming the ride as named, not the file where Wine would look (this run's
# files, made and removed here).
odd=$folder/sub/$'..\\*?"<>|:;\x01odd.ride'
cp "$folder/fine.ride" "$odd"
played "$play" --svg "$odd"$'\n' "$odd"
if [ "$status" -ne 0 ] || ! well_formed "$odd"$'\n' || ! cmp -s "$odd" "$folder/fine.ride"; then
  fail "picture-named-as-given: exit $status: $(head -c 300 "$folder/err" | cat -v)"
fi
mark=${folder##*/}
cp "$folder/fine.ride" "$folder/sub/..\\$mark;.ride"$'\n'
cp "$folder/fine.ride" "$folder/$mark;.ride"
default=$root/build/ride/.._${mark}_.svg
if [ -n "$(find "$root/build" -maxdepth 2 -name "*$mark*" 2>/dev/null)" ]; then
  fail "default-picture: $root/build holds a file of this run's name already"
else
  played "$play" "$folder/sub/..\\$mark;.ride"$'\n'
  made=$(find "$root/build" -maxdepth 2 -name "*$mark*" 2>/dev/null)
  if [ "$status" -ne 0 ] || [ "$made" != "$default" ] || ! well_formed "$default" ||
    ! grep -qF "the ride ..\\$mark;.ride\\x0a, " "$default"; then
    fail "default-picture: exit $status, made '$made': $(head -c 300 "$folder/err" | cat -v)"
  fi
  [ -z "$made" ] || find "$root/build" -maxdepth 2 -name "*$mark*" -delete
fi

# A ride killed while it plays, with everything it started, as a stopped
# terminal or a timeout kills it: it leaves no folder behind.
for _ in $(seq 40000); do printf 'key-down N\nwait 400\nkey-up N\n'; done >"$folder/long.ride"
setsid "$play" --svg "$folder/long.svg" "$folder/long.ride" >"$folder/out" 2>&1 &
group=$!
for _ in $(seq 300); do
  ! grep -q '^Playing a ride' "$folder/out" || break
  sleep 0.1
done
if ! grep -q '^Playing a ride' "$folder/out"; then
  fail "killed: the ride did not start: $(head -c 300 "$folder/out")"
fi
kill -TERM -- "-$group" 2>/dev/null || true
wait "$group" || true

leftover=$(ride_folders)
[ -z "$leftover" ] || fail "a ride left its folder behind: $leftover"
[ ! -e "$folder/Quillmere.ini" ] || fail "a ride wrote Quillmere.ini in the caller's folder"
total=$((${#rows[@]} + ${#failing[@]} + 5))
echo "ride errors: $((total - failures)) of $total rows as expected"
[ "$failures" -eq 0 ]
