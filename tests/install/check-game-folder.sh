#!/usr/bin/env bash
# make install and make uninstall, run as a modder runs them, on temporary
# game folders: refusals leave everything as it was; a folder of other mods'
# files is exactly as it was after install and uninstall; a player's own
# settings survive both. Then the folders people really have: links, names
# with quotes and $, names in another letter case, an install that fails
# half-way, a package built elsewhere.
# Usage: check-game-folder.sh   (runs make in the project's root)
set -euo pipefail
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

# Runs make VERB with GAME_DIR=$2 (unset when empty); keeps its output and status.
run() {
  local verb=$1 game=$2
  status=0
  make -s -C "$root" "$verb" ${game:+GAME_DIR="$game"} >"$out/out" 2>"$out/err" || status=$?
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
  if [ -e "$game" ]; then
    before=$(snapshot "$(dirname "$game")")
  fi
  run "$verb" "$game"
  local ours
  ours=$(grep -Ev '^make(\[[0-9]+\])?: \*\*\*' "$out/err" || true)
  [ "$status" -eq 2 ] || fail "$name: exit status $status, not 2"
  if [ "$(wc -l <<<"$ours")" -ne 1 ] || ! grep -Eq "^$verb: $pattern" <<<"$ours"; then
    fail "$name: refused with: $ours"
  fi
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
  grep -q "^installed $game/$name" "$out/out" || fail "install does not say it installed $name"
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

# Links: a link to a folder is that folder, and a host that is a link to the
# script host is a host; but a file of the plugin's names that is a link is
# never written through, even when the link leads nowhere.
cases=$((cases + 1))
mkdir "$work/real-game" "$work/elsewhere"
printf 'the script host\n' >"$work/elsewhere/ScriptHookV.dll"
ln -s "$work/elsewhere/ScriptHookV.dll" "$work/real-game/ScriptHookV.dll"
ln -s "$work/real-game" "$work/linked-game"
run install "$work/linked-game"
if [ "$status" -ne 0 ] || ! cmp -s "$root/dist/Quillmere.asi" "$work/real-game/Quillmere.asi"; then
  fail "a linked game folder and host: exit $status: $(cat "$out/err")"
fi
run uninstall "$work/linked-game"
mkdir "$work/mine"
printf 'my notes\n' >"$work/mine/notes.txt"
printf 'my plugin\n' >"$work/mine/plugin.asi"
mkdir "$work/links" && other_mods "$work/links"
ln -s "$work/mine/plugin.asi" "$work/links/Quillmere.asi"
ln -s "$work/mine/notes.txt" "$work/links/Quillmere.txt"
expect_refused "links named as the plugin's files" "$work/links/Quillmere.(asi|txt) is a link" install \
  "$work/links"
[ "$(cat "$work/mine/plugin.asi" "$work/mine/notes.txt")" = "$(printf 'my plugin\nmy notes')" ] ||
  fail "links named as the plugin's files: the files they lead to changed"
mkdir "$work/dangling" && other_mods "$work/dangling"
ln -s "$work/nowhere.ini" "$work/dangling/Quillmere.ini"
expect_refused "a settings file that is a link to nothing" ".*Quillmere.ini is a link" install \
  "$work/dangling"

# Names are data: a folder named with quotes, $, a backtick and $(...)
# arrives as it is; one named like an option is a folder.
cases=$((cases + 1))
odd="$work/it's a \$game \`echo ran\` \$(echo ran) \"x\""
mkdir "$odd" && other_mods "$odd"
run install "$odd"
if [ "$status" -ne 0 ] || [ ! -f "$odd/Quillmere.asi" ]; then
  fail "a folder named $odd: $(cat "$out/err")"
fi
mkdir "$work/-delete" && other_mods "$work/-delete" && printf 'beside it\n' >"$work/beside"
status=0
(cd "$work" && "$root/tools/game-folder.sh" install -delete) >"$out/out" 2>"$out/err" || status=$?
if [ "$status" -ne 0 ] || [ ! -f "$work/-delete/Quillmere.asi" ] || [ ! -f "$work/beside" ]; then
  fail "a folder named -delete: exit $status: $(cat "$out/err")"
fi

# Letter case: two names Windows takes for one file are refused, naming both.
mkdir "$work/two-cases" && other_mods "$work/two-cases"
printf 'old\n' >"$work/two-cases/QUILLMERE.ASI"
printf 'older\n' >"$work/two-cases/Quillmere.asi"
expect_refused "two names that differ only in case" ".* holds both QUILLMERE.ASI and Quillmere.asi" \
  uninstall "$work/two-cases"

# All or nothing: a copy that fails half-way (a full disk at the text) puts
# back what it replaced and takes away what it added.
cases=$((cases + 1))
mkdir "$work/half-way" "$work/bin" && other_mods "$work/half-way"
printf 'an older plugin\n' >"$work/half-way/Quillmere.asi"
ln -s "$root/tests/common/full-disk-cp.sh" "$work/bin/cp"
real_cp=$(command -v cp)
before=$(snapshot "$work/half-way")
status=0
PATH=$work/bin:$PATH REAL_CP=$real_cp FAIL_NAME=Quillmere.txt FAIL_INTO=$work/half-way \
  make -s -C "$root" install GAME_DIR="$work/half-way" >"$out/out" 2>"$out/err" || status=$?
[ "$status" -ne 0 ] || fail "half-way: installed, though a copy failed"
[ "$before" = "$(snapshot "$work/half-way")" ] ||
  fail "half-way: the folder is not as it was: $(diff <(echo "$before") <(snapshot "$work/half-way") | head -5)"

# One package folder: install reads the package where the build put it.
cases=$((cases + 1))
mkdir -p "$work/build" "$work/package" "$work/elsewhere-game" && other_mods "$work/elsewhere-game"
printf '%s' "$work/package" >"$work/build/package-folder"
for name in Quillmere.asi Quillmere.ini Quillmere.txt; do
  printf 'the package built elsewhere: %s\n' "$name" >"$work/package/$name"
done
status=0
QUILLMERE_BUILD=$work/build make -s -C "$root" install GAME_DIR="$work/elsewhere-game" \
  >"$out/out" 2>"$out/err" || status=$?
if [ "$status" -ne 0 ] || ! cmp -s "$work/package/Quillmere.asi" "$work/elsewhere-game/Quillmere.asi"; then
  fail "a package built elsewhere: exit $status: $(cat "$out/err")"
fi

# Messages say what happened.
mkdir -p "$work/settings-folder/Quillmere.ini" && other_mods "$work/settings-folder"
expect_refused "a settings file that is a folder" ".*Quillmere.ini is a folder" install \
  "$work/settings-folder"
cases=$((cases + 1))
mkdir "$work/empty"
run uninstall "$work/empty"
if [ "$status" -ne 0 ] || ! grep -q "^nothing to remove: $work/empty" "$out/out"; then
  fail "uninstall with nothing to remove says: $(cat "$out/out" "$out/err")"
fi

if [ "$failures" -eq 0 ]; then
  echo "game folders: all $cases cases as expected"
else
  echo "game folders: $failures check(s) failed in $cases cases"
  exit 1
fi
