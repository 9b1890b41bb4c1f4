#!/usr/bin/env bash
# Puts the player's package in DIST: the player's FILEs under their own
# names, a zip of them that equal files always make equal (bare names, a
# fixed time and mode for each, no extra fields: zip -X leaves out the owner
# and the access and change times), and SHA256SUMS for the files and the zip.
#
# DIST may be any folder, a game's folder included, so this writes and
# removes only the package's own files: the FILEs' names, Quillmere-*.zip
# and SHA256SUMS. Those of an earlier package go first, so none lingers;
# such a file counts as the package's only when DIST's SHA256SUMS lists it
# with its checksum as it is now (a SHA256SUMS that names nothing but such
# files being the package's own). Any other file of those names, a player's
# changed Quillmere.ini or another mod's SHA256SUMS, stops the build with one
# line and is left as it is, like every other file in DIST.
# Usage: pack.sh DIST ZIP_NAME FILE...
set -euo pipefail
if [ $# -lt 3 ]; then
  echo "usage: $0 DIST ZIP_NAME FILE..." >&2
  exit 2
fi
dist=$1
zip_name=$2
shift 2
names=()
for file in "$@"; do
  names+=("$(basename "$file")")
done
sums=$dist/SHA256SUMS

refuse() {
  echo "error: $dist/$1 $2; move it away or choose another QUILLMERE_DIST_DIR" >&2
  exit 1
}

# Is NAME one of the package's names, in this version or another?
packages_name() {
  local name=$1 own
  for own in "${names[@]}" SHA256SUMS; do
    [ "$name" = "$own" ] && return 0
  done
  [[ "$name" == Quillmere-*.zip ]]
}

# The names SHA256SUMS lists, when it is the package's own; nothing otherwise.
listed_names() {
  [ -f "$sums" ] || return 0
  local listed
  listed=$(sed -E 's/^[0-9a-f]{64} [ *]//' "$sums")
  while read -r name; do
    packages_name "$name" && [ "$name" != SHA256SUMS ] || return 0
  done <<<"$listed"
  echo "$listed"
}

[ ! -e "$dist" ] || [ -d "$dist" ] || { echo "error: $dist is not a folder" >&2; exit 1; }
mkdir -p "$dist"

# What of the package's names DIST holds now, each checked before any goes.
earlier=()
listed=$(listed_names)
while IFS= read -r -d '' path; do
  name=$(basename "$path")
  packages_name "$name" || continue
  if [ "$name" = SHA256SUMS ]; then
    [ -n "$listed" ] || refuse "$name" "lists files that are not this package's"
  elif [ -z "$listed" ] || ! grep -qxF "$(cd "$dist" && sha256sum -- "$name" 2>/dev/null)" "$sums"; then
    refuse "$name" "was not made by this build (not in its SHA256SUMS, or changed since)"
  fi
  earlier+=("$path")
done < <(find "$dist" -mindepth 1 -maxdepth 1 -print0)
rm -f "${earlier[@]}"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$@" "$stage/"
chmod 644 "$stage"/*
export TZ=UTC
touch -d '2026-01-01 00:00:00' "$stage"/*
(cd "$stage" && zip -X -q -9 "$zip_name" "${names[@]}" && sha256sum "${names[@]}" "$zip_name" >SHA256SUMS)
cp "$stage"/* "$dist/"
