#!/usr/bin/env bash
# Puts the player's package in DIST: the player's FILEs under their own
# names, a zip of them, ZIP_STEM VERSION .zip, that equal files always make
# equal (bare names, each dated DATE at midnight UTC with a fixed mode, no
# extra fields: zip -X leaves out the owner and the access and change times),
# and SHA256SUMS for the files and the zip.
#
# DIST may be any folder, a game's folder included, and may be given through
# a link (its real path is used), so this writes and removes only the
# package's own files: the FILEs' names, ZIP_STEM*.zip and SHA256SUMS, in any
# letter case, as Windows matches names. Those of an earlier package go, so
# none lingers; such a file counts as the package's only when DIST's
# SHA256SUMS lists it, under that very name, with its checksum as it is now
# (a SHA256SUMS that names nothing but such files being the package's own).
# Anything else of those names stops the build with one line before anything
# is written, and is left as it is, like every other file in DIST: a
# player's changed Quillmere.ini (or quillmere.ini), another mod's
# SHA256SUMS, a link, a folder, two names that differ only in case. A failure
# after the first write puts back what was there.
#
# Needs only bash, coreutils and zip, so the package builds wherever CMake
# and MinGW-w64 do.
# Usage: pack.sh DIST ZIP_STEM VERSION DATE FILE...
set -euo pipefail
shopt -s nullglob dotglob
if [ $# -lt 5 ]; then
  echo "usage: $0 DIST ZIP_STEM VERSION DATE FILE..." >&2
  exit 2
fi
given=$1
zip_stem=$2
zip_name=$2$3.zip
date=$4
shift 4
names=()
for file in "$@"; do
  names+=("${file##*/}")
done

refuse() {
  echo "error: $1; move it away or choose another QUILLMERE_DIST_DIR" >&2
  exit 1
}

# Is NAME one of the package's names, in this version or another, in any case?
packages_name() {
  local name=${1,,} own
  for own in "${names[@]}" SHA256SUMS; do
    [ "$name" != "${own,,}" ] || return 0
  done
  [[ $name == "${zip_stem,,}"*.zip ]]
}

if [ -L "$given" ] && [ ! -e "$given" ]; then
  refuse "$given is a link to nothing"
fi
[ ! -e "$given" ] || [ -d "$given" ] || refuse "$given is not a folder"
mkdir -p -- "$given"
dist=$(realpath -- "$given")
base=${dist%/}

# The package's names in DIST now, each checked before any goes.
declare -A seen  # lower-case name -> the entry of that name
earlier=()       # the earlier package's files, all vouched for
for path in "$base"/*; do
  name=${path##*/}
  packages_name "$name" || continue
  if [ -n "${seen[${name,,}]:-}" ]; then
    refuse "$dist holds both ${seen[${name,,}]} and $name, which Windows takes for one file"
  fi
  seen[${name,,}]=$name
  if [ -L "$path" ]; then
    refuse "$path is a link, which the package build does not write through"
  elif [ -d "$path" ]; then
    refuse "$path is a folder, not one of the package's files"
  elif [ ! -f "$path" ]; then
    refuse "$path is not a plain file"
  fi
  earlier+=("$name")
done

# SHA256SUMS's lines, when it is the package's own: every name it lists is
# one of the package's. Only such a list vouches for the files above.
declare -A vouched  # "checksum  name" lines
sums_name=${seen[sha256sums]:-}
if [ -n "$sums_name" ]; then
  [ "$sums_name" = SHA256SUMS ] ||
    refuse "$base/$sums_name is not the package's SHA256SUMS (another letter case)"
  while IFS= read -r line || [ -n "$line" ]; do
    if [[ ! $line =~ ^[0-9a-f]{64}\ [\ *](.+)$ ]] || ! packages_name "${BASH_REMATCH[1]}" ||
      [ "${BASH_REMATCH[1],,}" = sha256sums ]; then
      refuse "$base/SHA256SUMS lists files that are not this package's"
    fi
    vouched[$line]=1
  done <"$base/SHA256SUMS"
fi
for name in "${earlier[@]}"; do
  [ "$name" != "$sums_name" ] || continue
  line=$(cd -- "$base" && sha256sum -- "$name")
  [ -n "${vouched[$line]:-}" ] ||
    refuse "$base/$name was not made by this build (not in its SHA256SUMS, or changed since)"
done

# Everything is checked: the new package is made aside, then put in place.
stage=$(mktemp -d)
written=()  # what this run wrote in DIST
undo() {
  local name lost=()
  for name in "${written[@]}"; do
    rm -f -- "$base/$name" || lost+=("$name")
  done
  for name in "${earlier[@]}"; do
    [ -e "$base/$name" ] || cp -p -- "$stage/earlier/$name" "$base/$name" || lost+=("$name")
  done
  if [ "${#lost[@]}" -eq 0 ]; then
    echo "error: the package build failed half-way; $dist is as it was" >&2
  else
    echo "error: the package build failed half-way, and $dist could not be put back as it was: ${lost[*]}" >&2
  fi
}
committing=  # set once the first write may come
on_exit() {
  local status=$?
  [ "$status" -eq 0 ] || [ -z "$committing" ] || undo
  rm -rf -- "$stage"
}
trap on_exit EXIT

mkdir "$stage/new" "$stage/earlier"
cp -- "$@" "$stage/new/"
chmod 644 "$stage"/new/*
export TZ=UTC  # for touch and for zip, which stores local times
touch -d "$date 00:00:00" "$stage"/new/*
(cd "$stage/new" && zip -X -q -9 "$zip_name" "${names[@]}" &&
  sha256sum -- "${names[@]}" "$zip_name" >SHA256SUMS)
for name in "${earlier[@]}"; do
  cp -p -- "$base/$name" "$stage/earlier/$name"
done

committing=1
for name in "${earlier[@]}"; do
  rm -f -- "$base/$name"
done
for path in "$stage"/new/*; do
  written+=("${path##*/}")
  cp -- "$path" "$base/"
done
