#!/usr/bin/env bash
# Builds the player's package again, from a copy of the sources in another
# folder, later, and checks that every file in it is byte for byte the one in
# DIST: equal sources must give an equal package, wherever and whenever built.
# Usage: check-reproducible.sh SOURCE DIST
set -euo pipefail
source=$1
dist=$2
# Two seconds on at least, so that any time stamp (to the second, or the
# zip format's two) would differ.
sleep 2
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
tar -C "$source" --exclude=./build --exclude=./dist --exclude=./.git -cf - . | tar -C "$copy" -xf -
(
  cd "$copy"
  cmake --preset windows --log-level=WARNING >/dev/null
  cmake --build --preset windows --target dist >/dev/null
) || { echo "FAIL: the second build in $copy failed" >&2; exit 1; }
if ! diff -r "$dist" "$copy/dist" >&2; then
  echo "FAIL: a second build in another folder gives a different package" >&2
  exit 1
fi
echo "a second build in another folder gives the same $(ls "$dist" | wc -l) files"
