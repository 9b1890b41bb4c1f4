#!/usr/bin/env bash
# make install and make uninstall, run as a modder runs them, on temporary
# game folders: refusals leave everything as it was; a folder of other mods'
# files is exactly as it was after install and uninstall; a player's own
# settings survive both.
# Usage: check-game-folder.sh   (runs make in the project's root)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)  # the game folders
out=$(mktemp -d)   # what make says
trap 'rm -rf "$work" "$out"' EXIT
failures=0
cases=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}

# Runs make VERB with GAME_DIR=$1 (unset when empty); keeps its output and status.
run() {
  local verb=$1 game=$2
  make -s -C "$root" "$verb" ${game:+GAME_DIR="$game"} >"$out/out" 2>"$out/err"
  status=$?
}

# Every entry under a folder, with its type, mode and (for files) contents.
snapshot() {
  (cd "$1" && find . -mindepth 1 -printf '%p %y %m\n' | sort &&
    find . -type f -print0 | sort -z | xargs -0 -r sha256sum)
}

# A refusal: exit status 2, our one line on standard error matching $2
# (make's own "***" line aside), and the folder or file as it was.
expect_refused() {
  local name=$1 pattern=$2 verb=$3 game=$4 before=
  cases=$((cases + 1))
  [ -e "$game" ] && before=$(snapshot "$(dirname "$game")")
  run "$verb" "$game"
  local ours
  ours=$(grep -Ev '^make(\[[0-9]+\])?: \*\*\*' "$out/err")
  [ "$status" -eq 2 ] || fail "$name: exit status $status, not 2"
  [ "$(wc -l <<<"$ours")" -eq 1 ] && grep -Eq "^$verb: $pattern" <<<"$ours" ||
    fail "$name: refused with: $ours"
  [ -z "$before" ] || [ "$before" = "$(snapshot "$(dirname "$game")")" ] ||
    fail "$name: the folder changed"
}

# Game folders, filled with other mods' files, some named like ours.
other_mods() {
  mkdir -p "$1/mods/update" "$1/scripts"
  printf 'the script host\n' >"$1/ScriptHookV.dll"
  printf 'an ASI loader\n' >"$1/dinput8.dll"
  printf 'another mod\n' >"$1/OtherMod.asi"
  printf '[keys]\r\nother=1\r\n' >"$1/OtherMod.ini"
  printf 'abc  OtherMod.asi\n' >"$1/SHA256SUMS"
  printf 'a readme\n' >"$1/README.txt"
  printf 'data\n' >"$1/mods/update/update.rpf"
  printf 'a script\n' >"$1/scripts/Quillmere.ini"  # not the game's folder: never touched
  chmod 600 "$1/OtherMod.ini"
}

expect_refused "no GAME_DIR" "say which folder" install ""
expect_refused "GAME_DIR missing" ".* does not exist" install "$work/none"
printf 'a file\n' >"$work/a-file"
expect_refused "GAME_DIR a file" ".* is not a folder" install "$work/a-file"
mkdir "$work/no-host" && printf 'x\n' >"$work/no-host/game.exe"
expect_refused "no script host" ".* holds no ScriptHookV.dll" install "$work/no-host/"
expect_refused "uninstall, no GAME_DIR" "say which folder" uninstall ""

# Other mods' files: exactly as they were, after install and after uninstall.
cases=$((cases + 1))
game=$work/game
mkdir "$game" && other_mods "$game"
before=$(snapshot "$game")
run install "$game"
[ "$status" -eq 0 ] || fail "install: exit status $status: $(cat "$out/err")"
for name in Quillmere.asi Quillmere.ini Quillmere.txt; do
  cmp -s "$root/dist/$name" "$game/$name" || fail "install: $name is not the shipped one"
  grep -q "installed $game/$name" "$out/out" || fail "install does not say it installed $name"
done
others() { grep -Ev '(^| )\./Quillmere\.(asi|ini|txt)( |$)'; }
after=$(snapshot "$game" | others)
[ "$after" = "$(others <<<"$before")" ] ||
  fail "install changed another file: $(diff <(echo "$before") <(echo "$after"))"
run uninstall "$game"
[ "$status" -eq 0 ] || fail "uninstall: exit status $status: $(cat "$out/err")"
[ "$before" = "$(snapshot "$game")" ] ||
  fail "uninstall did not leave the folder as it was: $(diff <(echo "$before") <(snapshot "$game"))"

# A player's own settings, under the name in another letter case: install
# keeps them and adds no second settings file; uninstall keeps them too.
cases=$((cases + 1))
game=$work/played
mkdir "$game" && other_mods "$game"
printf '[keys]\r\nquillmere_modifier=17\r\nquillmere=76\r\n' >"$game/quillmere.ini"
before=$(snapshot "$game")
run install "$game"
[ "$status" -eq 0 ] || fail "install over own settings: exit status $status"
grep -q "kept $game/quillmere.ini" "$out/out" || fail "install does not say it kept the settings"
[ ! -e "$game/Quillmere.ini" ] || fail "install added a second settings file"
run uninstall "$game"
[ "$status" -eq 0 ] || fail "uninstall over own settings: exit status $status"
grep -q "kept $game/quillmere.ini" "$out/out" || fail "uninstall does not say it kept the settings"
[ "$before" = "$(snapshot "$game")" ] ||
  fail "own settings: the folder is not as it was: $(diff <(echo "$before") <(snapshot "$game"))"

if [ "$failures" -eq 0 ]; then
  echo "game folders: all $cases cases as expected"
else
  echo "game folders: $failures check(s) failed in $cases cases"
  exit 1
fi
