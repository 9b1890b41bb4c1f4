#!/usr/bin/env bash
# The ride tool on bad rides, one table: every row must end with exit status
# 2 and one short LF-ended line on standard error, "FILE:LINE: MESSAGE", the
# message matching the row's pattern. The last rows are rides it must accept.
# Then failures on the way (a plugin that does not load, a picture that
# cannot be written): exit status 1 and one line, "error: ...". Nothing may be
# left behind: no ride folder in Wine's temporary folder, no Quillmere.ini in
# the caller's.
# Usage: check-errors.sh PLAY   (the environment names the build, as for play.sh)
set -uo pipefail
play=$(realpath "$1")
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
failures=0
megabyte=$(head -c 1000000 /dev/zero | tr '\0' 'x')
build=${QUILLMERE_BUILD:-$(cd "$(dirname "$0")/../.." && pwd)/build/windows}
ride_folders() { find "$build/wineprefix/drive_c/users" -maxdepth 4 -name 'quillmere-ride-*' | sort; }
ride_folders_before=$(ride_folders)
cd "$folder"

# name | file | line | message pattern (extended regex) | ride text (printf format)
rows=(
  "unknown-step|unknown-step.ride|2|unknown step 'frobnicate' \(known: note, |# a ride\nfrobnicate\n"
  "empty|empty.ride|1|nothing to play|"
  "comments-only|comments.ride|3|nothing to play|# one\n\n   # two\n"
  "ctrl-z|ctrl-z.ride|2|unknown step '\\\\x1a'|note a\n\x1a\nwait 16\n"
  "binary|binary.ride|1|unknown step '\\\\x01\\\\x02\\\\xff\\\\x1b\[2J'|\x01\x02\xff\x1b[2J\n"
  "long-line|long.ride|1|unknown step 'x{40}'\.\.\. |${megabyte}\n"
  "device-name|aux.ride|1|'aux' is a Windows device name|wait 16\n"
  "not-a-file|folder.ride|1|not a ride script: no regular file|"
  "new-vehicle-colourless|colourless.ride|2|vehicle 3 is new: give its neon colour as R,G,B|wait 16\nget-in 3\n"
  "bad-colour|bad-colour.ride|1|a colour is R,G,B|get-in 1 255,0\n"
  "on-foot|on-foot.ride|1|the player is on foot already|get-out\n"
  "bad-key|bad-key.ride|1|'Hyper' is not a key|key-down Hyper\n"
  "bare-number-key|bare-number.ride|1|'78' is not a key: .*code:78|key-down 78\n"
  "key-code-range|key-code.ride|1|a key code must be a whole number from 0 to 254, not '255'|key-down code:255\n"
  "bad-wait|bad-wait.ride|1|a wait must be a whole number|wait soon\n"
  "bad-setting|bad-setting.ride|1|settings take quillmere=VALUE|settings quillmere_mod=1\n"
  "accepts-bom-case-code-settings|accepts.ride|0||\xef\xbb\xbfNOTE Case\nSettings Quillmere=0x4C quillmere_modifier=-1\nGET-IN 1 1,2,3\nKey-Down code:8\nkey-up CODE:0\nwait 16\n"
)

for row in "${rows[@]}"; do
  IFS='|' read -r name file line pattern text <<<"$row"
  ride="$folder/$file"
  if [ "$name" = "not-a-file" ]; then
    mkdir -p "$ride"
  else
    printf "$text" >"$ride"
  fi
  "$play" --svg "$folder/picture.svg" "$ride" >"$folder/out" 2>"$folder/err"
  status=$?
  if [ "$line" = 0 ]; then
    [ "$status" -eq 0 ] || { echo "FAIL $name: exit $status: $(head -c 300 "$folder/err")"; failures=$((failures + 1)); }
    continue
  fi
  message=$(cat "$folder/err")
  lines=$(wc -l <"$folder/err")
  if [ "$status" -ne 2 ] || [ "$lines" -ne 1 ] || [ "${#message}" -gt 300 ] ||
    grep -q $'\r' "$folder/err" || ! grep -Eq "^$ride:$line: $pattern" <<<"$message"; then
    echo "FAIL $name: exit $status, $lines line(s): $(head -c 300 "$folder/err" | cat -v)"
    failures=$((failures + 1))
  fi
done
# Failures on the way: name | pattern | how to play.
printf 'get-in 1 1,2,3\nwait 16\n' >"$folder/fine.ride"
mkdir "$folder/not-a-plugin" "$folder/folder.svg"
printf 'not a DLL\n' >"$folder/not-a-plugin/Quillmere.asi"
cp "${QUILLMERE_DIST:-$build/../../dist}/Quillmere.ini" "${QUILLMERE_DIST:-$build/../../dist}/Quillmere.txt" \
  "$folder/not-a-plugin/"
failing=(
  "plugin-does-not-load|error: cannot load the plugin .*not-a-plugin/Quillmere.asi|env QUILLMERE_DIST=$folder/not-a-plugin $play --svg $folder/p.svg $folder/fine.ride"
  "picture-not-written|error: cannot write the picture .*folder.svg|$play --svg $folder/folder.svg $folder/fine.ride"
)
for row in "${failing[@]}"; do
  IFS='|' read -r name pattern command <<<"$row"
  $command >"$folder/out" 2>"$folder/err"
  status=$?
  if [ "$status" -ne 1 ] || [ "$(wc -l <"$folder/err")" -ne 1 ] || ! grep -Eq "^$pattern" "$folder/err"; then
    echo "FAIL $name: exit $status: $(head -c 300 "$folder/err" | cat -v)"
    failures=$((failures + 1))
  fi
done

[ "$(ride_folders)" = "$ride_folders_before" ] ||
  { echo "FAIL a ride left its folder behind: $(ride_folders)"; failures=$((failures + 1)); }
[ ! -e "$folder/Quillmere.ini" ] ||
  { echo "FAIL a ride wrote Quillmere.ini in the caller's folder"; failures=$((failures + 1)); }
total=$((${#rows[@]} + ${#failing[@]} + 2))
echo "ride errors: $((total - failures)) of $total rows as expected"
[ "$failures" -eq 0 ]
