#!/usr/bin/env bash
# Builds the player's package again, from a copy of the sources in another
# folder, later, in another time zone and with another umask, with the
# package preset (the build a modder makes) under a shell that sets CMake's
# and the compilers' flags, in a mount namespace where bash, coreutils (but
# env, POSIX's), zip and Python cannot be run: what a modder on Windows or
# macOS has not got. There
# it also installs the package into a game folder with make install, and
# uninstalls it by `cmake -P` alone. The same builder with the same CMake and
# MinGW-w64 on the same system gets every file of DIST byte for byte; the
# namespace's builder is root, so for another one that is the player's files
# (the zip stores the builder's user and group in each entry).
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
mkdir "$copy/game"
printf 'the script host\n' >"$copy/game/ScriptHookV.dll"

# What is hidden: every program of bash, coreutils and zip, and every
# Python, wherever PATH finds one, each covered by a file that cannot be run.
hidden=$copy/hidden
names=(bash zip python python3 python3.11)
mapfile -t -O "${#names[@]}" names < <(dpkg -L coreutils | sed -En 's|.*/s?bin/([^/]+)$|\1|p' | grep -vx env)
for name in "${names[@]}"; do
  type -ap "$name" || true
done | while IFS= read -r path; do realpath "$path"; done | sort -u >"$hidden"
printf '' >"$copy/nothing"
chmod 0 "$copy/nothing"

# The steps, as /bin/sh (dash, not bash) runs them once everything is hidden;
# the folders' names reach them through the environment, as they are.
cat >"$copy/steps.sh" <<'EOF'
while IFS= read -r path; do mount --bind "$copy/nothing" "$path" || exit 1; done <"$hidden"
if bash -c true 2>/dev/null || cp --version >/dev/null 2>&1 || zip -v >/dev/null 2>&1 ||
  python3 -c pass 2>/dev/null; then
  echo "FAIL: bash, coreutils, zip or Python can still be run" >&2
  exit 1
fi
cd "$copy" || exit 1
umask 077
export TZ=Pacific/Kiritimati CMAKE_BUILD_TYPE=Debug CXXFLAGS=-fno-inline RCFLAGS=--language=0x407 \
  LDFLAGS=-Wl,--image-base=0x7f0000000
cmake --preset package --log-level=WARNING >/dev/null || exit 1
cmake --build --preset package >/dev/null || exit 1
make -s install GAME_DIR="$copy/game" >/dev/null || exit 1
cmake -E copy "$copy/game/Quillmere.asi" "$copy/installed.asi" || exit 1
cmake -P tools/plugin-files.cmake -- uninstall "$copy/game" >/dev/null || exit 1
EOF
export copy hidden
if ! unshare --map-root-user --mount sh "$copy/steps.sh" >&2; then
  echo "FAIL: the second build, install or uninstall without bash, coreutils, zip and Python failed" >&2
  exit 1
fi
if [ "$(ls -A "$copy/game")" != ScriptHookV.dll ] || ! cmp -s "$copy/installed.asi" "$copy/dist/Quillmere.asi"; then
  echo "FAIL: install and uninstall by cmake -P alone did not put in and take out the plugin" >&2
  exit 1
fi
# The package's files: those its SHA256SUMS lists, and that list itself.
mapfile -t names < <(sed -E 's/^[0-9a-f]{64} [ *]//' "$dist/SHA256SUMS")
names+=(SHA256SUMS)
if [ "$(id -u):$(id -g)" != 0:0 ]; then
  names=(Quillmere.asi Quillmere.ini Quillmere.txt)
fi
for name in "${names[@]}"; do
  cmp "$dist/$name" "$copy/dist/$name" >&2 ||
    { echo "FAIL: a second build in another folder gives a different $name" >&2; exit 1; }
done
echo "without bash, coreutils, zip and Python, a second build elsewhere, later gives the same" \
  "${#names[@]} files, and cmake -P installs and uninstalls them"
