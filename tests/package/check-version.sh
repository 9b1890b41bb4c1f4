#!/usr/bin/env bash
# The version, as every part of a release shows it, is one and the same: the
# DLL's version resource (its numbers and its strings, read back from the
# shipped file), the zip's name, the player's text (its heading and its
# newest version history entry) and the newest release in CHANGELOG.md.
# Usage: check-version.sh WINDRES DIST CHANGELOG
set -uo pipefail
windres=$1
dist=$2
changelog=$3

resource=$("$windres" -J coff -O rc -i "$dist/Quillmere.asi" 2>&1)
numbers() { sed -nE "s/^ *$1 ([0-9]+), ([0-9]+), ([0-9]+), 0\r?\$/\1.\2.\3/p" <<<"$resource"; }
string() { sed -nE "s/^ *VALUE \"$1\", \"([^\"]*)\"\r?\$/\1/p" <<<"$resource"; }
text() { tr -d '\r' <"$dist/Quillmere.txt"; }

shown=(
  "the resource's FILEVERSION|$(numbers FILEVERSION)"
  "the resource's PRODUCTVERSION|$(numbers PRODUCTVERSION)"
  "the resource's FileVersion|$(string FileVersion)"
  "the resource's ProductVersion|$(string ProductVersion)"
  "the zip's name|$(cd "$dist" && ls Quillmere-*.zip 2>/dev/null | sed -E 's/^Quillmere-(.*)\.zip$/\1/')"
  "Quillmere.txt's heading|$(text | sed -nE '1s/^Quillmere ([^:]+): .*/\1/p')"
  "Quillmere.txt's version history|$(text | sed -n '/^Version history$/,$p' | sed -nE 's/^([0-9][^ ]*) \(.*/\1/p' | head -1)"
  "CHANGELOG.md's newest release|$(sed -nE 's/^## \[([0-9][^]]*)\] - [0-9]{4}-[0-9]{2}-[0-9]{2}$/\1/p' "$changelog" | head -1)"
)
version=${shown[0]#*|}
failed=0
for row in "${shown[@]}"; do
  if [ -z "${row#*|}" ] || [ "${row#*|}" != "$version" ]; then
    echo "FAIL: ${row%%|*} says '${row#*|}', the resource's FILEVERSION '$version'"
    failed=1
  fi
done
[ "$failed" -eq 0 ] && echo "version $version in the resource, the zip's name, Quillmere.txt and CHANGELOG.md"
exit "$failed"
