#!/usr/bin/env bash
# The checkout's dist/ is filled in place (package/stage.cmake's publish):
# the package whole, an earlier one of ours replaced file by file, nothing
# written when it holds the package already; the folder itself never
# replaced, so a mount there, its mode and its group stay. Anything a build
# did not write there, or changed since, stops it with one line and nothing
# touched; so does a dist/ no record speaks for. Stopped or failing at any
# step, dist/ holds a package whose SHA256SUMS holds, or no SHA256SUMS at
# all; the next run completes. With --another-user (as root), also a dist/
# another user made (a build with sudo): one line saying what to do.
# Usage: check-dist-folder.sh SOURCE [--another-user]   (the project's root)
set -euo pipefail
source=$(realpath "$1")
step_hook=$source/tests/common/step-hook.cmake
work=$(mktemp -d)  # the folders
logs=$(mktemp -d)  # what the script says, and the test hook's count
trap 'rm -rf "$work" "$logs"' EXIT
# The script, where another user can reach it too (the checkout may be in a
# folder only its owner may enter).
mkdir -p "$work/source/package" "$work/source/tools"
cp "$source/package/stage.cmake" "$work/source/package/" && cp "$source/tools/plugin-files.cmake" "$work/source/tools/"
stage_script=$work/source/package/stage.cmake

failures=0
cases=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}

# Two packages, 0.9.0 and 1.0.0, of files of the package's names, each made
# by stage in a folder of its own; the 1.0.0 one held a file of another's,
# which staging leaves alone.
mkdir "$work/in"
printf 'MZ the plugin\n' >"$work/in/Quillmere.asi"
printf '[keys]\r\nquillmere_modifier=-1\r\nquillmere=78\r\n' >"$work/in/Quillmere.ini"
printf 'for players\r\n' >"$work/in/Quillmere.txt"
mkdir "$work/stage-0.9.0" "$work/stage-1.0.0" && printf 'mine\n' >"$work/stage-1.0.0/notes.txt"
for version in 0.9.0 1.0.0; do
  (cd "$work/stage-$version" && cmake -P "$stage_script" -- stage "$work/stage-$version" "Quillmere-$version.zip" \
    "$work/in/Quillmere.asi" "$work/in/Quillmere.ini" "$work/in/Quillmere.txt") || fail "staging $version"
done
[ "$(cat "$work/stage-1.0.0/notes.txt")" = mine ] || fail "staging removed a file of another's"
rm "$work/stage-1.0.0/notes.txt"
cp -r "$work/stage-0.9.0" "$work/stage [a]" && (cd "$work/stage [a]" && cmake -P "$stage_script" -- stage \
  "$work/stage [a]" Quillmere-1.0.0.zip "$work/in/Quillmere.asi" "$work/in/Quillmere.ini" "$work/in/Quillmere.txt")
[ ! -e "$work/stage [a]/Quillmere-0.9.0.zip" ] || fail "staging where a name holds '[': the earlier zip stays"

# Every entry under a folder with its type, mode and contents.
snapshot() {
  [ -d "$1" ] || { sha256sum "$1" 2>/dev/null || echo "(none)"; return; }
  (cd "$1" && find . -mindepth 1 -printf '%p %y %m %l\n' | LC_ALL=C sort &&
    find . -type f -exec sha256sum {} + | LC_ALL=C sort)
}
# dist/ holds a package whose SHA256SUMS holds: exactly its files, each as
# listed; and the record lists each of them.
whole() {
  local listed present
  [ -f "$dist/SHA256SUMS" ] && (cd "$dist" && sha256sum --check --status SHA256SUMS) || return 1
  listed=$(sed -E 's/^[0-9a-f]{64}  //' "$dist/SHA256SUMS" | LC_ALL=C sort | tr '\n' ' ')
  present=$(cd "$dist" && find . -mindepth 1 ! -name SHA256SUMS ! -name '.*' -printf '%P\n' | LC_ALL=C sort | tr '\n' ' ')
  [ "$listed" = "$present" ] && recorded
}
recorded() { # every file in dist/ is in the record, as it is, or is one on its way there
  (cd "$dist" && find . -mindepth 1 ! -name '*.quillmere-new' ! -name '.*' -printf '%P\n' | while IFS= read -r name; do
    grep -qxF "$(sha256sum "$name")" "$record" || exit 1
  done)
}
# Publishes VERSION's package into $dist, keeping what the script says (in a
# subshell of its own, which keeps bash's note of a kill to itself); the
# record is beside dist/, as the build keeps it beside, in build/.
publish() { # VERSION [COMMAND PREFIX...]
  local version=$1
  shift
  status=0
  (
    timeout 120 "$@" cmake "${hook[@]}" -P "$stage_script" -- publish "$work/stage-$version" "$dist" "$record" \
      >"$logs/out" 2>"$logs/err"
    exit $?
  ) 2>/dev/null || status=$?
}
hook=()
place() { # NAME: a folder of its own, where dist/ and the record go
  mkdir -p "$work/$1" && dist=$work/$1/dist && record=$work/$1/dist.sha256
}

# A refusal: failing status, one line of ours first, "package: PATTERN"
# (CMake 3.25's note that the script stopped aside), and dist/ and the
# record as they were.
both() { snapshot "$dist" && { [ ! -e "$record" ] || sha256sum "$record"; }; }
expect_refused() { # CASE PATTERN
  local before
  cases=$((cases + 1))
  before=$(both)
  publish 1.0.0
  [ "$status" -ne 0 ] || fail "$1: published, where it must refuse"
  if [ "$(grep -c '^package: ' "$logs/err")" -ne 1 ] || ! head -1 "$logs/err" | grep -Eq "^package: $2"; then
    fail "$1: refused with: $(head -3 "$logs/err")"
  fi
  [ "$before" = "$(both)" ] || fail "$1: a file changed"
}

# A new folder, then an earlier package replaced, a hidden file of the
# system's (Finder's .DS_Store) left alone, then nothing to do.
cases=$((cases + 1))
place new
publish 0.9.0
whole || fail "a new folder: the package is not whole: $(cat "$logs/err")"
printf 'Finder\n' >"$dist/.DS_Store"
publish 1.0.0
[ "$(cat "$dist/.DS_Store")" = Finder ] || fail "a hidden file: it went, or stopped the build: $(cat "$logs/err")"
if ! whole || [ "$(cd "$dist" && printf '%s ' *)" != "Quillmere-1.0.0.zip Quillmere.asi Quillmere.ini Quillmere.txt SHA256SUMS " ]; then
  fail "an earlier package: the folder holds $(cd "$dist" && printf '%s ' *)"
fi
[ "$(unzip -Z1 "$dist/Quillmere-1.0.0.zip" | tr '\n' ' ')" = "Quillmere.asi Quillmere.ini Quillmere.txt " ] ||
  fail "the zip's files: $(unzip -Z1 "$dist/Quillmere-1.0.0.zip" | tr '\n' ' ')"
touch -d 2000-01-01 "$dist"/*
before=$(cd "$dist" && stat -c '%n %i %Y' ./*)
publish 1.0.0
if [ "$status" -ne 0 ] || [ "$before" != "$(cd "$dist" && stat -c '%n %i %Y' ./*)" ]; then
  fail "the same package again: it was written again"
fi

# What no build wrote there, or what changed since, is never replaced.
earlier() { place "$1" && publish 0.9.0; }
earlier other-file && printf 'another mod\n' >"$dist/OtherMod.asi"
expect_refused "another mod's file" ".*/dist/OtherMod.asi was not written by a build of this checkout"
earlier changed && printf '[keys]\r\nquillmere=76\r\n' >"$dist/Quillmere.ini"
expect_refused "a player's changed settings" ".*/dist/Quillmere.ini was not written .*, or has changed since"
earlier other-case && mv "$dist/Quillmere.ini" "$dist/quillmere.ini"
expect_refused "settings in another letter case" ".*/dist/quillmere.ini was not written"
earlier link-in-it && mv "$dist/Quillmere.txt" "$work/link-in-it/elsewhere.txt" &&
  ln -s "$work/link-in-it/elsewhere.txt" "$dist/Quillmere.txt"
expect_refused "a link in it" ".*/dist/Quillmere.txt was not written"
earlier semicolon && printf 'notes\n' >"$dist/notes;Quillmere.asi"
expect_refused "a name with ';'" ".*/dist holds a name with ';' in it"
earlier in-the-way && mkdir "$dist/Quillmere.txt.quillmere-new"
expect_refused "a folder under a name of ours" ".*/dist/Quillmere.txt.quillmere-new was not written"
earlier pipe && rm "$dist/SHA256SUMS" && mkfifo "$dist/SHA256SUMS"
expect_refused "a pipe for SHA256SUMS, which is never read" ".*/dist/SHA256SUMS was not written"
place unrecorded && mkdir "$dist" && printf '[keys]\r\n' >"$dist/Quillmere.ini" &&
  sha256sum "$dist/Quillmere.ini" >"$dist/SHA256SUMS"
expect_refused "a dist/ no record speaks for" "no record of this checkout's builds lists what .*/dist holds"
place a-file && printf 'a file\n' >"$dist"
expect_refused "dist/ a file" ".*/dist is not a folder"

# A mount there (a container's volume), a shared folder's mode: they stay,
# and the package is in it (a mount namespace of a user namespace's own).
cases=$((cases + 1))
place mounted && mkdir "$dist" "$work/volume" && chmod 2775 "$work/volume"
# shellcheck disable=SC2016  # expanded by the inner shell
if ! unshare --map-root-user --mount sh -c 'mount --bind "$1" "$2" && "$3" -P "$4" -- publish "$5" "$2" "$6" &&
  "$3" -P "$4" -- publish "$7" "$2" "$6" && mountpoint -q "$2"' sh "$work/volume" "$dist" "$(command -v cmake)" \
  "$stage_script" "$work/stage-0.9.0" "$record" "$work/stage-1.0.0" >"$logs/err" 2>&1 ||
  [ "$(stat -c %a "$work/volume")" != 2775 ] || [ ! -f "$work/volume/Quillmere-1.0.0.zip" ]; then
  fail "a mount as dist/: $(stat -c %a "$work/volume") $(ls "$work/volume"): $(head -3 "$logs/err")"
fi

# As root: a dist/ another user made (a build run with sudo) cannot be
# written by this one, and the line says so and what to do.
if [ "${2:-}" != --another-user ]; then
  :
elif cases=$((cases + 1)) && [ "$(id -u)" -ne 0 ]; then
  fail "a dist/ of another user: needs root, to run the build as another user"
else
  earlier sudo && chmod 0711 "$work" && chown -R nobody "$work/stage-1.0.0" && rm "$record.lock" &&
    chown nobody "$work/sudo" "$record"
  publish 1.0.0 setpriv --reuid=nobody --regid=nogroup --clear-groups
  grep -Eq "^package: cannot (write|remove) .*/dist/.*: if a build run as another user \\(sudo\\) made .*/dist, delete it as that user" \
    "$logs/err" || fail "a dist/ of another user: $(head -1 "$logs/err")"
  chmod 0700 "$work"
fi

# Stopped at each step in turn (killed from inside it) or failing there:
# dist/ holds the earlier package whole, or none with its SHA256SUMS, or
# the new one whole; the next run completes and leaves nothing of its own.
for action in kill fail; do
  cases=$((cases + 1))
  for ((at = 1; ; at++)); do
    rm -rf "$work/stops" && earlier stops
    printf 0 >"$logs/counter"
    hook=(-D "QUILLMERE_TEST_HOOK=$step_hook" -D "COUNTER=$logs/counter" -D "STOP_AT=$at" -D "ACTION=$action")
    publish 1.0.0
    hook=()
    if [ "$(cat "$logs/counter")" -lt "$at" ]; then
      break  # every step passed
    fi
    if [ "$action" = fail ] && { [ "$status" -eq 0 ] || [ "$(grep -c '^package: ' "$logs/err")" -ne 1 ]; }; then
      fail "failing at step $at: exit $status: $(head -1 "$logs/err")"
    fi
    if { [ -e "$dist/SHA256SUMS" ] && ! whole; } || ! recorded; then
      fail "stopped or failing at step $at ($action): SHA256SUMS does not hold: $(snapshot "$dist" | head -8 | tr '\n' ' ')"
    fi
    publish 1.0.0
    if [ "$status" -ne 0 ] || ! whole || [ ! -f "$dist/Quillmere-1.0.0.zip" ]; then
      fail "the run after step $at ($action): exit $status: $(head -1 "$logs/err"); $(ls -A "$dist")"
    fi
  done
  [ "$at" -gt 4 ] || fail "$action: only $at steps were tried"
done

if [ "$failures" -ne 0 ]; then
  echo "dist folder: $failures check(s) failed in $cases cases"
  exit 1
fi
echo "dist folder: all $cases cases as expected"
