#!/usr/bin/env bash
# The package folder is the build's own: the package is put there whole,
# an earlier package of ours is replaced whole, and a folder holding anything
# else (another mod's file, a player's changed settings in any letter case,
# another SHA256SUMS, a link) is refused with one line and left as it was,
# also when it is given through a link. A name Windows or CMake reads
# otherwise is refused, naming the character. Stopped or failing at any step,
# it leaves the earlier package or the new one, whole, and the next run
# completes and leaves nothing of its own behind.
# Usage: check-dist-folder.sh SOURCE   (the project's root)
set -euo pipefail
source=$(realpath "$1")
script=$source/tools/plugin-files.cmake
step_hook=$source/tests/common/step-hook.cmake
work=$(mktemp -d)  # the folders
logs=$(mktemp -d)  # what the script says, and the test hook's count
trap 'rm -rf "$work" "$logs"' EXIT
failures=0
cases=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}

# Two staged packages, 0.9.0 and 1.0.0, of files of the package's names.
mkdir "$work/in"
printf 'MZ the plugin\n' >"$work/in/Quillmere.asi"
printf '[keys]\r\nquillmere_modifier=-1\r\nquillmere=78\r\n' >"$work/in/Quillmere.ini"
printf 'for players\r\n' >"$work/in/Quillmere.txt"
for version in 0.9.0 1.0.0; do
  mkdir "$work/stage-$version"
  (cd "$work/stage-$version" && cmake -P "$source/package/stage.cmake" -- "$work/stage-$version" "$version" 2026-12-08 \
    "$work/in/Quillmere.asi" "$work/in/Quillmere.ini" "$work/in/Quillmere.txt") ||
    fail "staging $version"
done

# Staging empties only a stage: a folder holding anything else is refused
# and left as it was.
cases=$((cases + 1))
mkdir "$work/not-a-stage" && printf 'my thesis\n' >"$work/not-a-stage/thesis.doc"
(cd "$work/not-a-stage" && cmake -P "$source/package/stage.cmake" -- "$work/not-a-stage" 1.0.0 2026-12-08 \
  "$work/in/Quillmere.asi" "$work/in/Quillmere.ini" "$work/in/Quillmere.txt") >"$logs/err" 2>&1 &&
  fail "staging in a folder of another's: it staged"
if [ "$(ls -A "$work/not-a-stage")" != thesis.doc ] || ! grep -q "^package: .* holds thesis.doc" "$logs/err"; then
  fail "staging in a folder of another's: $(ls -A "$work/not-a-stage"): $(head -1 "$logs/err")"
fi

# Every entry under a folder with its type and contents.
snapshot() {
  [ -e "$1" ] || { echo "(none)"; return; }
  (cd "$1" && find . -mindepth 1 -printf '%p %y %l\n' | LC_ALL=C sort &&
    find . -type f -exec sha256sum {} + | LC_ALL=C sort)
}
# The package in FOLDER, whole: exactly its SHA256SUMS's files, each as listed.
whole() {
  local listed present
  [ -f "$1/SHA256SUMS" ] && (cd "$1" && sha256sum --check --status SHA256SUMS) || return 1
  listed=$(sed -E 's/^[0-9a-f]{64}  //' "$1/SHA256SUMS" | LC_ALL=C sort | tr '\n' ' ')
  present=$(cd "$1" && find . -mindepth 1 ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort | tr '\n' ' ')
  [ "$listed" = "$present" ]
}
# Publishes STAGE's package into $dist, keeping what the script says (in a
# subshell of its own, which keeps bash's note of a kill to itself); one
# that hangs is stopped after two minutes.
publish() {
  status=0
  (
    timeout 120 cmake "${hook[@]}" -P "$script" -- publish "$work/stage-$1" "$dist" >"$logs/out" 2>"$logs/err"
    exit $?
  ) 2>/dev/null || status=$?
}
hook=()

# A refusal: failing status, one line of ours first, "package: PATTERN"
# (CMake 3.25's note that the script stopped aside), and the folder as it was.
expect_refused() { # CASE PATTERN [DIST]
  local before
  cases=$((cases + 1))
  before=$(snapshot "$(dirname "$dist")")
  publish 1.0.0
  [ "$status" -ne 0 ] || fail "$1: published, where it must refuse"
  if [ "$(head -1 "$logs/err")" = "$(grep -v '^package: ' "$logs/err" | head -1)" ] ||
    [ "$(grep -c '^package: ' "$logs/err")" -ne 1 ] || ! grep -Eq "^package: $2" "$logs/err"; then
    fail "$1: refused with: $(head -3 "$logs/err")"
  fi
  [ "$before" = "$(snapshot "$(dirname "$dist")")" ] || fail "$1: the folder changed"
}

# A new folder, then an earlier package replaced whole, then nothing to do.
cases=$((cases + 1))
mkdir "$work/new" && dist=$work/new/dist
publish 0.9.0
whole "$dist" || fail "a new folder: the package is not whole: $(cat "$logs/err")"
publish 1.0.0
[ "$(cd "$dist" && printf '%s ' *)" = "Quillmere-1.0.0.zip Quillmere.asi Quillmere.ini Quillmere.txt SHA256SUMS " ] ||
  fail "an earlier package: the folder holds $(cd "$dist" && printf '%s ' *)"
[ "$(unzip -Z1 "$dist/Quillmere-1.0.0.zip" | tr '\n' ' ')" = "Quillmere.asi Quillmere.ini Quillmere.txt " ] ||
  fail "the zip's files: $(unzip -Z1 "$dist/Quillmere-1.0.0.zip" | tr '\n' ' ')"
touch -d 2000-01-01 "$dist"/*
before=$(cd "$dist" && stat -c '%n %i %Y' ./*)
publish 1.0.0
if [ "$status" -ne 0 ] || [ "$before" != "$(cd "$dist" && stat -c '%n %i %Y' ./*)" ]; then
  fail "the same package again: it was written again"
fi

# Folders that hold anything but a package of ours: refused, left as they are.
refused_folder() { # NAME: a folder with an earlier package in it, to spoil
  mkdir "$work/$1" && dist=$work/$1/dist && publish 0.9.0
}
refused_folder other-file && printf 'another mod\n' >"$dist/OtherMod.asi"
expect_refused "another mod's file" ".*/dist holds OtherMod.asi, which is not one of the package's files"
refused_folder changed && printf '[keys]\r\nquillmere=76\r\n' >"$dist/Quillmere.ini"
expect_refused "a player's changed settings" ".*/dist holds Quillmere.ini, which has changed since the build made it"
refused_folder unlisted && rm "$dist/SHA256SUMS"
expect_refused "files without SHA256SUMS" ".*/dist holds no SHA256SUMS"
mkdir -p "$work/other-sums/dist" && dist=$work/other-sums/dist
printf '%064d  OtherMod.asi\n' 0 >"$dist/SHA256SUMS" && printf '[keys]\r\n' >"$dist/Quillmere.ini"
expect_refused "another mod's SHA256SUMS" ".*/dist has a SHA256SUMS that lists OtherMod.asi"
refused_folder other-case && mv "$dist/Quillmere.ini" "$dist/quillmere.ini"
expect_refused "settings in another letter case" ".*/dist holds quillmere.ini, which is not one"
refused_folder link-in-it && mv "$dist/Quillmere.txt" "$work/link-in-it/elsewhere.txt" &&
  ln -s "$work/link-in-it/elsewhere.txt" "$dist/Quillmere.txt"
expect_refused "a link in it" ".*/dist holds Quillmere.txt, a link or a folder"
mkdir -p "$work/game" && printf 'the host\n' >"$work/game/ScriptHookV.dll" &&
  ln -s "$work/game" "$work/linked" && dist=$work/linked
expect_refused "a game's folder, through a link" "$work/game holds ScriptHookV.dll"
ln -s "$work/nowhere" "$work/dangling" && dist=$work/dangling
expect_refused "a link to nothing" ".*/dangling is a link to nothing"
printf 'a file\n' >"$work/a-file" && dist=$work/a-file
expect_refused "a file" ".*/a-file is not a folder"
# Names CMake's lists read otherwise: after an unmatched '[' every name ran
# into one, and a name ending in '\' came out of the glob as another name.
mkdir -p "$work/bracket/dist" && dist=$work/bracket/dist && printf 'a draft\n' >"$dist/0[ draft.txt" &&
  printf 'my thesis\n' >"$dist/thesis.doc"
expect_refused "a file after an unmatched '['" ".*/dist holds 0\\[ draft.txt, which is not one"
mkdir -p "$work/backslash/dist" && dist=$work/backslash/dist && printf 'notes\n' >"$dist/notes\\"
expect_refused "a name ending in '\\'" ".*/dist holds notes.?, which is not one"
refused_folder pipe && rm "$dist/SHA256SUMS" && mkfifo "$dist/SHA256SUMS"
expect_refused "a pipe for SHA256SUMS, which is never read" ".*/dist has a SHA256SUMS that is not the package's"
refused_folder leftover && mkdir "$dist.quillmere-new" && printf 'x\n' >"$dist.quillmere-new/mine.txt"
expect_refused "its own temporary name, holding a file of another" ".*/dist.quillmere-new holds mine.txt"

# Names: what Windows or CMake reads otherwise is refused, naming it; the
# rest (quotes, $, backticks, [, a leading -) is a name like any other.
names=(
  semicolon "a;b" "holds ';'"
  star "a*b" "holds '\\*'"
  newline $'dist\n' "holds a line break"
  backslash 'a\b' "holds '\\\\'"
  colon "a:b" "holds ':'"
  pipe "a|b" "holds '\\|'"
)
for ((i = 0; i < ${#names[@]}; i += 3)); do
  mkdir "$work/names-${names[i]}" && dist=$work/names-${names[i]}/${names[i + 1]}
  expect_refused "a folder named with a ${names[i]}" "the package folder '.*' ${names[i + 2]}"
done
cases=$((cases + 1))
odd="$work/it's a \$dist \`echo ran\` [x] \${HOME}"
mkdir "$work/dash"
(cd "$work/dash" && cmake -P "$script" -- publish "$work/stage-1.0.0" -dist) >"$logs/out" 2>&1 || true
dist=$odd
publish 1.0.0
if ! whole "$work/dash/-dist" || ! whole "$odd"; then
  fail "names as data: $(cat "$logs/out" "$logs/err")"
fi

# Stopped at each step in turn (killed from inside it) or failing there: the
# package folder holds the earlier package or the new one, whole (or, between
# the two renames, is away with the earlier one whole beside it); the next
# run completes and leaves nothing of its own.
for action in kill fail; do
  cases=$((cases + 1))
  for ((at = 1; ; at++)); do
    rm -rf "$work/stops" && mkdir "$work/stops" && dist=$work/stops/dist && publish 0.9.0
    earlier=$(snapshot "$dist")
    printf 0 >"$logs/counter"
    hook=(-D "QUILLMERE_TEST_HOOK=$step_hook" -D "COUNTER=$logs/counter" -D "STOP_AT=$at" -D "ACTION=$action")
    publish 1.0.0
    hook=()
    if [ "$(cat "$logs/counter")" -lt "$at" ]; then
      break  # every step passed
    fi
    if [ "$action" = fail ]; then
      if [ "$status" -eq 0 ] || [ "$(grep -c '^package: ' "$logs/err")" -ne 1 ]; then
        fail "failing at step $at: exit $status: $(head -1 "$logs/err")"
      fi
      # Before the new package is in place, the earlier one stays as it was;
      # after, only clearing the earlier one away is left.
      if ! { [ "$(snapshot "$dist")" = "$earlier" ] && [ ! -e "$dist.quillmere-new" ] &&
        [ ! -e "$dist.quillmere-old" ]; } && ! { whole "$dist" && [ -f "$dist/Quillmere-1.0.0.zip" ]; }; then
        fail "failing at step $at: $(snapshot "$work/stops" | head -8 | tr '\n' ' ')"
      fi
    fi
    if [ "$action" = kill ] && ! whole "$dist" && ! { [ ! -e "$dist" ] && whole "$dist.quillmere-old"; }; then
      fail "stopped at step $at: neither package whole: $(snapshot "$work/stops" | head -8 | tr '\n' ' ')"
    fi
    publish 1.0.0
    if [ "$status" -ne 0 ] || ! whole "$dist" || [ ! -f "$dist/Quillmere-1.0.0.zip" ] ||
      [ "$(ls -A "$work/stops")" != dist ]; then
      fail "the run after step $at ($action): exit $status: $(head -1 "$logs/err"); $(ls -A "$work/stops")"
    fi
  done
  [ "$at" -gt 4 ] || fail "$action: only $at steps were tried"
done

# Stopped between its two renames, the package folder is away and the
# earlier package waits beside it: the next build puts it back first, so
# that a failure of its own then leaves the earlier package in place.
cases=$((cases + 1))
rm -rf "$work/stops" && mkdir "$work/stops" && dist=$work/stops/dist && publish 0.9.0
earlier=$(snapshot "$dist")
rm -f "$logs/counter".*
printf 0 >"$logs/counter"
hook=(-D "QUILLMERE_TEST_HOOK=$step_hook" -D "COUNTER=$logs/counter" -D "STOP_MATCH=^RENAME $dist\$" -D ACTION=kill)
publish 1.0.0
if [ -e "$dist" ] || ! whole "$dist.quillmere-old"; then
  fail "between the renames: the package folder is not away"
fi
rm -f "$logs/counter".*
hook=(-D "QUILLMERE_TEST_HOOK=$step_hook" -D "COUNTER=$logs/counter" -D "STOP_MATCH=^make " -D ACTION=fail)
publish 1.0.0
hook=()
if [ "$status" -eq 0 ] || [ "$(snapshot "$dist")" != "$earlier" ] || [ -e "$dist.quillmere-old" ]; then
  fail "after a stop between the renames, a failing build: $(snapshot "$work/stops" | head -4 | tr '\n' ' ')"
fi

if [ "$failures" -ne 0 ]; then
  echo "package folder: $failures check(s) failed in $cases cases"
  exit 1
fi
echo "package folder: all $cases cases as expected"
