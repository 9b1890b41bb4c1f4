#!/usr/bin/env bash
# pack.sh in a folder it shares: what is not the package's is never touched,
# an earlier package is replaced whole, and a file that only looks like the
# package's (a player's changed settings, another mod's SHA256SUMS) stops the
# build with one line, everything left as it was.
# Usage: check-dist-folder.sh PACK
set -uo pipefail
pack=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}

mkdir "$work/in"
printf 'MZ the plugin\n' >"$work/in/Quillmere.asi"
printf '[keys]\r\nquillmere_modifier=-1\r\nquillmere=78\r\n' >"$work/in/Quillmere.ini"
printf 'for players\r\n' >"$work/in/Quillmere.txt"
inputs=("$work/in/Quillmere.asi" "$work/in/Quillmere.ini" "$work/in/Quillmere.txt")

# Every entry of a folder with its contents.
snapshot() { (cd "$1" && find . -mindepth 1 -printf '%p %y\n' | sort && find . -type f -exec sha256sum {} + | sort); }

# A folder for one case: $1 named for it, with another mod's file in it.
folder() {
  dist=$work/$1
  mkdir -p "$dist/mods"
  printf 'another mod\n' >"$dist/OtherMod.asi"
  printf 'its data\n' >"$dist/mods/data"
}

packs() { # ZIP_NAME: packs into $dist, quietly; true when it succeeded
  "$pack" "$dist" "$1" "${inputs[@]}" >"$work/out" 2>&1
}

expect_refused() { # CASE PATTERN ZIP_NAME
  local before
  before=$(snapshot "$dist")
  if packs "$3"; then
    fail "$1: packed, where it must refuse"
  elif [ "$(wc -l <"$work/out")" -ne 1 ] || ! grep -Eq "^error: $dist/$2" "$work/out"; then
    fail "$1: refused with: $(cat "$work/out")"
  fi
  [ "$before" = "$(snapshot "$dist")" ] || fail "$1: the folder changed"
}

folder shared
packs Quillmere-1.0.0.zip || fail "shared folder: $(cat "$work/out")"
[ "$(cat "$dist/OtherMod.asi")" = "another mod" ] && [ "$(cat "$dist/mods/data")" = "its data" ] ||
  fail "shared folder: another mod's files changed"
(cd "$dist" && sha256sum --check --status SHA256SUMS) || fail "shared folder: SHA256SUMS does not match"
[ "$(unzip -Z1 "$dist/Quillmere-1.0.0.zip" | sort | tr '\n' ' ')" = \
  "Quillmere.asi Quillmere.ini Quillmere.txt " ] || fail "shared folder: the zip's files"

folder newer
packs Quillmere-0.9.0.zip && packs Quillmere-1.0.0.zip || fail "newer package: $(cat "$work/out")"
[ ! -e "$dist/Quillmere-0.9.0.zip" ] || fail "newer package: the older zip lingers"
listing=$(ls "$dist" | LC_ALL=C sort | tr '\n' ' ')
[ "$listing" = "OtherMod.asi Quillmere-1.0.0.zip Quillmere.asi Quillmere.ini Quillmere.txt SHA256SUMS mods " ] ||
  fail "newer package: the folder holds $listing"

folder played
packs Quillmere-1.0.0.zip || fail "played: $(cat "$work/out")"
printf '[keys]\r\nquillmere=76\r\n' >"$dist/Quillmere.ini"
expect_refused "a player's changed settings" "Quillmere.ini was not made by this build" Quillmere-1.0.0.zip

folder unlisted
printf '[keys]\r\nquillmere=76\r\n' >"$dist/Quillmere.ini"
expect_refused "settings without the package's SHA256SUMS" "Quillmere.ini was not made by this build" \
  Quillmere-1.0.0.zip

folder other-sums
printf '%064d  OtherMod.asi\n' 0 >"$dist/SHA256SUMS"
expect_refused "another mod's SHA256SUMS" "SHA256SUMS lists files that are not this package's" \
  Quillmere-1.0.0.zip

printf 'a file\n' >"$work/a-file"
if "$pack" "$work/a-file" Quillmere-1.0.0.zip "${inputs[@]}" >"$work/out" 2>&1 ||
  [ "$(cat "$work/a-file")" != "a file" ]; then
  fail "a file as DIST: $(cat "$work/out")"
fi

if [ "$failures" -ne 0 ]; then
  echo "pack.sh in a shared folder: $failures check(s) failed"
  exit 1
fi
echo "pack.sh in a shared folder: every other file left as it was, the package's own replaced"
