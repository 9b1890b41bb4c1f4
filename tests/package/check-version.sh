#!/usr/bin/env bash
# The release's own data, as every part of a release shows it, is one and
# the same:
# - the version: the DLL's version resource (its numbers and its strings,
#   read back from the shipped file), the zip's name and the player's text's
#   heading; it is CHANGELOG.md's newest release, or, while the changelog's
#   "Unreleased" holds changes, a later version with a pre-release marker
#   ("1.0.1-dev"); the text's version history starts at that newest release;
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

newest=${release% *}
version=$(string FileVersion)
numbers=$(numbers FILEVERSION)
marker=${version#"$numbers"}
# Entries under "## [Unreleased]": changes that no release holds yet.
unreleased=$(sed -n '/^## \[Unreleased\]/,/^## \[[0-9]/p' "$changelog" | grep -c '^- ' || true)
# A build's version is the release's, or, while changes are unreleased, the
# next version's numbers with a pre-release marker: never the release's
# name on other contents.
shown=(
  "the resource's PRODUCTVERSION|$(numbers PRODUCTVERSION)|$numbers"
  "the resource's ProductVersion|$(string ProductVersion)|$version"
  "the zip's name|${zip_version%.zip}|$version"
  "Quillmere.txt's heading|$(text | sed -nE '1s/^Quillmere ([^:]+): .*/\1/p')|$version"
  "Quillmere.txt's version history|$(text | sed -n '/^Version history$/,$p' | sed -nE 's/^([0-9][^ ]*) \(.*/\1/p' | head -1)|$newest"
)
failed=0
if [[ ! $version =~ ^[0-9]+\.[0-9]+\.[0-9]+(-[0-9A-Za-z.]+)?$ ]] || [ "${version%%-*}" != "$numbers" ]; then
  echo "FAIL: the resource's FileVersion '$version' is not its FILEVERSION '$numbers', with or without a pre-release marker"
  failed=1
fi
for row in "${shown[@]}"; do
  IFS='|' read -r what says expected <<<"$row"
  if [ -z "$says" ] || [ "$says" != "$expected" ]; then
    echo "FAIL: $what says '$says', not '$expected'"
    failed=1
  fi
done
newer=$(printf '%s\n%s\n' "$newest" "$numbers" | sort -V | tail -1)
if [ -z "$marker" ] && [ "$unreleased" -ne 0 ]; then
  echo "FAIL: CHANGELOG.md's Unreleased holds $unreleased change(s), but the version $version has no pre-release marker: a build of them would pass for the release"
  failed=1
elif [ -z "$marker" ] && [ "$version" != "$newest" ]; then
  echo "FAIL: the version $version is not CHANGELOG.md's newest release, $newest"
  failed=1
elif [ -n "$marker" ] && { [ "$numbers" = "$newest" ] || [ "$newer" != "$numbers" ]; }; then
  echo "FAIL: the pre-release $version does not come after CHANGELOG.md's newest release, $newest"
  failed=1
fi

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
  echo "version $version in the resource, the zip's name and Quillmere.txt, after release $newest;" \
    "the zip's files dated ${release#* }; the copyright as LICENSE has it"
fi
exit "$failed"
