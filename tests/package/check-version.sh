#!/usr/bin/env bash
# The release's own data, as every part of a release shows it, is one and
# the same:
# - the version: the DLL's version resource (its numbers and its strings,
#   read back from the shipped file), the zip's name, the player's text (its
#   heading and its newest version history entry) and the newest release in
#   CHANGELOG.md;
# - the date: every file in the zip carries the newest release's date from
#   CHANGELOG.md;
# - the copyright: the resource's LegalCopyright is LICENSE's notice line.
# Usage: check-version.sh WINDRES DIST ZIP_STEM CHANGELOG LICENSE
set -euo pipefail
windres=$1
dist=$2
zip_stem=$3
changelog=$4
licence=$5

resource=$("$windres" -J coff -O rc -i "$dist/Quillmere.asi" 2>&1)
numbers() { sed -nE "s/^ *$1 ([0-9]+), ([0-9]+), ([0-9]+), 0\r?\$/\1.\2.\3/p" <<<"$resource"; }
string() { sed -nE "s/^ *VALUE \"$1\", \"([^\"]*)\"\r?\$/\1/p" <<<"$resource"; }
text() { tr -d '\r' <"$dist/Quillmere.txt"; }
zips=("$dist/$zip_stem"*.zip)
zip=${zips[0]}
zip_version=${zip##*/"$zip_stem"}
release=$(sed -nE 's/^## \[([0-9][^]]*)\] - ([0-9]{4})-([0-9]{2})-([0-9]{2})$/\1 \2\3\4/p' "$changelog" | head -1)

shown=(
  "the resource's FILEVERSION|$(numbers FILEVERSION)"
  "the resource's PRODUCTVERSION|$(numbers PRODUCTVERSION)"
  "the resource's FileVersion|$(string FileVersion)"
  "the resource's ProductVersion|$(string ProductVersion)"
  "the zip's name|${zip_version%.zip}"
  "Quillmere.txt's heading|$(text | sed -nE '1s/^Quillmere ([^:]+): .*/\1/p')"
  "Quillmere.txt's version history|$(text | sed -n '/^Version history$/,$p' | sed -nE 's/^([0-9][^ ]*) \(.*/\1/p' | head -1)"
  "CHANGELOG.md's newest release|${release% *}"
)
version=${shown[0]#*|}
failed=0
for row in "${shown[@]}"; do
  if [ -z "${row#*|}" ] || [ "${row#*|}" != "$version" ]; then
    echo "FAIL: ${row%%|*} says '${row#*|}', the resource's FILEVERSION '$version'"
    failed=1
  fi
done

# "-rw-r--r--  3.0 unx  11264 b- defX 20261208.000000 Quillmere.asi"
dates=$(unzip -Z -T "$zip" | awk '$7 ~ /^[0-9]+\.[0-9]+$/ { print $7 }' | sort -u)
if [ "$dates" != "${release#* }.000000" ]; then
  echo "FAIL: the zip's files are dated $(tr '\n' ' ' <<<"$dates"), not the release's day ${release#* }"
  failed=1
fi
copyright=$(grep -m1 '^Copyright ' "$licence" | tr -d '\r')
if [ "$(string LegalCopyright)" != "$copyright" ]; then
  echo "FAIL: the resource's LegalCopyright is '$(string LegalCopyright)', not LICENSE's '$copyright'"
  failed=1
fi
if [ "$failed" -eq 0 ]; then
  echo "version $version in the resource, the zip's name, Quillmere.txt and CHANGELOG.md;" \
    "the zip's files dated ${release#* }; the copyright as LICENSE has it"
fi
exit "$failed"
