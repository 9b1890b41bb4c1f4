#!/usr/bin/env bash
# pack.sh in a folder it shares: what is not the package's is never touched,
# an earlier package is replaced whole, and a file that only looks like the
# package's (a player's changed settings in any letter case, another mod's
# SHA256SUMS, a link) stops the build with one line, everything left as it
# was, also when the folder is given through a link. A build that fails
# half-way leaves the folder as it was.
# Usage: check-dist-folder.sh PACK
set -euo pipefail
pack=$(realpath "$1")
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

packs() { # VERSION: packs into $dist, quietly; true when it succeeded
  "$pack" "$dist" Quillmere- "$1" 2026-12-08 "${inputs[@]}" >"$work/out" 2>&1
}

expect_refused() { # CASE PATTERN: packs version 1.0.0, which must be refused
  local before
  before=$(snapshot "$dist")
  if packs 1.0.0; then
    fail "$1: packed, where it must refuse"
  elif [ "$(wc -l <"$work/out")" -ne 1 ] || ! grep -Eq "^error: $2" "$work/out"; then
    fail "$1: refused with: $(cat "$work/out")"
  fi
  [ "$before" = "$(snapshot "$dist")" ] || fail "$1: the folder changed"
}

folder shared
packs 1.0.0 || fail "shared folder: $(cat "$work/out")"
if [ "$(cat "$dist/OtherMod.asi")" != "another mod" ] || [ "$(cat "$dist/mods/data")" != "its data" ]; then
  fail "shared folder: another mod's files changed"
fi
(cd "$dist" && sha256sum --check --status SHA256SUMS) || fail "shared folder: SHA256SUMS does not match"
[ "$(unzip -Z1 "$dist/Quillmere-1.0.0.zip" | sort | tr '\n' ' ')" = \
  "Quillmere.asi Quillmere.ini Quillmere.txt " ] || fail "shared folder: the zip's files"

folder newer
if ! packs 0.9.0 || ! packs 1.0.0; then
  fail "newer package: $(cat "$work/out")"
fi
[ ! -e "$dist/Quillmere-0.9.0.zip" ] || fail "newer package: the older zip lingers"
listing=$(cd "$dist" && printf '%s\n' * | LC_ALL=C sort | tr '\n' ' ')
[ "$listing" = "OtherMod.asi Quillmere-1.0.0.zip Quillmere.asi Quillmere.ini Quillmere.txt SHA256SUMS mods " ] ||
  fail "newer package: the folder holds $listing"

folder played
packs 1.0.0 || fail "played: $(cat "$work/out")"
printf '[keys]\r\nquillmere=76\r\n' >"$dist/Quillmere.ini"
expect_refused "a player's changed settings" "$dist/Quillmere.ini was not made by this build"

folder unlisted
printf '[keys]\r\nquillmere=76\r\n' >"$dist/Quillmere.ini"
expect_refused "settings without the package's SHA256SUMS" "$dist/Quillmere.ini was not made by this build"

folder other-sums
printf '%064d  OtherMod.asi\n' 0 >"$dist/SHA256SUMS"
expect_refused "another mod's SHA256SUMS" "$dist/SHA256SUMS lists files that are not this package's"

# Given through a link, the folder is that folder: a game's folder holding a
# player's settings and another mod's SHA256SUMS is refused as itself is.
folder game
printf '[keys]\r\nquillmere=76\r\n' >"$dist/Quillmere.ini"
printf '%064d  OtherMod.asi\n' 0 >"$dist/SHA256SUMS"
real=$dist
ln -s "$real" "$work/linked"
dist=$work/linked
expect_refused "a folder given through a link" "$real/SHA256SUMS lists files that are not this package's"

# Windows opens quillmere.ini for Quillmere.ini: the player's settings under
# another letter case are theirs, not a file to put the default beside.
folder other-case
printf '[keys]\r\nquillmere=76\r\n' >"$dist/quillmere.ini"
expect_refused "a player's settings in another letter case" "$dist/quillmere.ini was not made by this build"

# A folder named like an option, given relative to where the build runs.
mkdir "$work/here"
if ! (cd "$work/here" && "$pack" -dist Quillmere- 1.0.0 2026-12-08 "${inputs[@]}") >"$work/out" 2>&1 ||
  [ ! -f "$work/here/-dist/Quillmere.asi" ]; then
  fail "a folder named -dist: $(cat "$work/out")"
fi

# A write that fails half-way (the disk full at the third file): the earlier
# package is put back, and nothing new stays.
folder half-way
packs 0.9.0 || fail "half-way: $(cat "$work/out")"
mkdir "$work/bin"
ln -s "$(realpath "$(dirname "$0")/../common/full-disk-cp.sh")" "$work/bin/cp"
real_cp=$(command -v cp)
before=$(snapshot "$dist")
if PATH=$work/bin:$PATH REAL_CP=$real_cp FAIL_NAME=Quillmere.txt FAIL_INTO=$dist packs 1.0.0; then
  fail "half-way: packed, though a write failed"
fi
[ "$before" = "$(snapshot "$dist")" ] ||
  fail "half-way: the folder is not as it was: $(diff <(echo "$before") <(snapshot "$dist") | head -5)"

printf 'a file\n' >"$work/a-file"
if "$pack" "$work/a-file" Quillmere- 1.0.0 2026-12-08 "${inputs[@]}" >"$work/out" 2>&1 ||
  [ "$(cat "$work/a-file")" != "a file" ]; then
  fail "a file as DIST: $(cat "$work/out")"
fi

if [ "$failures" -ne 0 ]; then
  echo "pack.sh in a shared folder: $failures check(s) failed"
  exit 1
fi
echo "pack.sh in a shared folder: every other file left as it was, the package's own replaced"
