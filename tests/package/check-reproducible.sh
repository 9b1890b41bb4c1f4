#!/usr/bin/env bash
# Builds the player's package again, from a copy of the sources in another
# folder, later, with the package preset (the build a modder makes with
# CMake, Ninja and MinGW-w64 alone) and the same cache settings as the build
# it checks, and checks that every file of it is byte for byte the one in
# DIST: equal sources must give an equal package, wherever, whenever and by
# whichever preset built. The second package goes to a folder that already
# holds another file, which must be left as it was.
# Usage: check-reproducible.sh SOURCE DIST [-DNAME=VALUE...]
set -euo pipefail
source=$1
dist=$2
shift 2
# Two seconds on at least, so that any time stamp (to the second, or the
# zip format's two) would differ.
sleep 2
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
tar -C "$source" --exclude=./build --exclude=./dist --exclude=./.git -cf - . | tar -C "$copy" -xf -
mkdir "$copy/shared"
printf 'another mod\n' >"$copy/shared/OtherMod.asi"
(
  cd "$copy"
  cmake --preset package --log-level=WARNING "$@" -DQUILLMERE_DIST_DIR="$copy/shared" >/dev/null
  cmake --build --preset package >/dev/null
) || { echo "FAIL: the second build in $copy failed" >&2; exit 1; }
[ "$(cat "$copy/shared/OtherMod.asi")" = "another mod" ] ||
  { echo "FAIL: the package build changed another file in its folder" >&2; exit 1; }
# The package's files: those its SHA256SUMS lists, and that list itself.
mapfile -t names < <(sed -E 's/^[0-9a-f]{64} [ *]//' "$dist/SHA256SUMS")
names+=(SHA256SUMS)
for name in "${names[@]}"; do
  cmp "$dist/$name" "$copy/shared/$name" >&2 ||
    { echo "FAIL: a second build in another folder gives a different $name" >&2; exit 1; }
done
echo "a second build in another folder gives the same ${#names[@]} files, and leaves another file beside them"
