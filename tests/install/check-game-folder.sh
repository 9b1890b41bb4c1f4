#!/usr/bin/env bash
# make install and make uninstall, run as a modder runs them, on temporary
# game folders, with GAME_DIR set in the environment to a folder that must
# never be touched (as a modder sets it once): refusals leave everything as
# it was; a folder of other mods' files is exactly as it was after install
# and uninstall; a player's own settings survive both. Then the folders
# people really have: links of both kinds, names with quotes and $, names
# Windows reads otherwise, letter case under a Turkish locale, a package
# folder whose copy of the settings was edited, and an install or uninstall
# stopped or failing at each of its steps.
# Usage: check-game-folder.sh   (runs make in the project's root)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
script=$root/tools/plugin-files.cmake
step_hook=$root/tests/common/step-hook.cmake
work=$(mktemp -d)  # the game folders
out=$(mktemp -d)   # what make says
trap 'rm -rf "$work" "$out"' EXIT
unset QUILLMERE_BUILD
failures=0
cases=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}

# Runs make VERB with GAME_DIR=$2 on its command line (empty: none given
# there), in the locale the row sets; keeps its output and status.
locale=()
run() {
  local verb=$1 game=$2
  status=0
  env "${locale[@]}" make -s -C "$root" "$verb" GAME_DIR="$game" >"$out/out" 2>"$out/err" || status=$?
}

# Every entry under a folder, with its type, mode, link count and (for
# files) contents.
snapshot() {
  (cd "$1" && find . -mindepth 1 -printf '%p %y %m %n %l\n' | LC_ALL=C sort &&
    find . -type f -print0 | LC_ALL=C sort -z | xargs -0 -r sha256sum)
}

# A refusal: exit status 2, our one line on standard error matching $2
# (make's own "***" line aside), and the folder or file as it was.
expect_refused() {
  local name=$1 pattern=$2 verb=$3 game=$4 before=
  cases=$((cases + 1))
  before=$(snapshot "$work")
  run "$verb" "$game"
  local ours
  ours=$(grep -Ev '^make(\[[0-9]+\])?: \*\*\*' "$out/err" || true)
  [ "$status" -eq 2 ] || fail "$name: exit status $status, not 2"
  if [ "$(wc -l <<<"$ours")" -ne 1 ] || ! grep -Eq "^$verb: $pattern" <<<"$ours"; then
    fail "$name: refused with: $ours"
  fi
  [ "$before" = "$(snapshot "$work")" ] || fail "$name: a folder changed"
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

# The folder a modder's shell names once for every make install: no row of
# this table may touch it.
export GAME_DIR=$work/set-in-the-shell
mkdir "$GAME_DIR" && other_mods "$GAME_DIR"
printf 'an older plugin\n' >"$GAME_DIR/Quillmere.asi"
printf '[keys]\r\nquillmere=76\r\n' >"$GAME_DIR/Quillmere.ini"
shell_folder=$(snapshot "$GAME_DIR")

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

# A player's own settings among names CMake's lists read otherwise (an
# unmatched '[' before them, a ']' after): install finds and keeps them.
cases=$((cases + 1))
game=$work/brackets
mkdir "$game" && other_mods "$game"
printf '[keys]\r\nquillmere=76\r\n' >"$game/Quillmere.ini"
printf 'notes\n' >"$game/Mods [v2 notes.txt"
printf 'notes\n' >"$game/Readme] (other).txt"
before=$(snapshot "$game")
run install "$game"
[ "$status" -eq 0 ] || fail "install beside unmatched brackets: exit status $status: $(cat "$out/err")"
run uninstall "$game"
[ "$before" = "$(snapshot "$game")" ] ||
  fail "unmatched brackets: the folder is not as it was: $(diff <(echo "$before") <(snapshot "$game"))"

# Uninstall judges the settings by what shipped, not by the package folder's
# copy: a copy edited by hand, equal to the player's file, leaves it be.
cases=$((cases + 1))
mkdir -p "$work/edited-build" "$work/edited-game"
cp -r "$(cat "$root/build/package/package-folder")" "$work/edited-package"
printf '%s' "$work/edited-package" >"$work/edited-build/package-folder"
cp "$root/build/package/shipped-settings.sha256" "$work/edited-build/"
printf '[keys]\r\nquillmere=76\r\n' | tee "$work/edited-package/Quillmere.ini" >"$work/edited-game/Quillmere.ini"
printf 'the script host\n' >"$work/edited-game/ScriptHookV.dll"
status=0
QUILLMERE_BUILD=$work/edited-build make -s -C "$root" uninstall GAME_DIR="$work/edited-game" \
  >"$out/out" 2>"$out/err" || status=$?
if [ "$status" -ne 0 ] || [ ! -f "$work/edited-game/Quillmere.ini" ]; then
  fail "settings equal to an edited package copy: removed, or exit $status: $(cat "$out/err")"
fi

# The build's own folders are no game's: uninstall in the package folder
# would leave it a package the next build refuses, and in the stage, one it
# never makes again.
mkdir -p "$work/own-build/package"
cp -r "$(cat "$root/build/package/package-folder")" "$work/own-package"
cp -r "$work/own-package" "$work/own-build/package/stage"
printf '%s' "$work/own-package" >"$work/own-build/package-folder"
cp "$root/build/package/shipped-settings.sha256" "$work/own-build/"
export QUILLMERE_BUILD=$work/own-build
expect_refused "the package folder" ".*/own-package is the folder the build puts the package in" uninstall \
  "$work/own-package"
expect_refused "the stage" ".*/stage is in the build's folder" uninstall "$work/own-build/package/stage"
unset QUILLMERE_BUILD

# A build whose record of the shipped settings holds no checksum is refused
# before anything goes: an empty one matched an empty settings file.
mkdir "$work/blank-build" "$work/blank-game"
cp "$work/own-build/package-folder" "$work/blank-build/"
: >"$work/blank-build/shipped-settings.sha256"
: >"$work/blank-game/Quillmere.ini"
printf 'an older plugin\n' >"$work/blank-game/Quillmere.asi"
export QUILLMERE_BUILD=$work/blank-build
expect_refused "a build with an empty checksum" ".*/shipped-settings.sha256 holds no checksum" uninstall \
  "$work/blank-game"
unset QUILLMERE_BUILD

# Links: a link to a folder is that folder, and a host that is a link to the
# script host is a host; a file of the plugin's names that is a symbolic link
# is refused, even when it leads nowhere; one that is a hard link (a mod
# manager's deployment) is replaced, its other name left as it was.
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
mkdir "$work/dangling" && other_mods "$work/dangling"
ln -s "$work/nowhere.ini" "$work/dangling/Quillmere.ini"
expect_refused "a settings file that is a link to nothing" ".*Quillmere.ini is a link" install \
  "$work/dangling"
cases=$((cases + 1))
mkdir "$work/staging" "$work/deployed" && other_mods "$work/deployed"
printf 'the mod manager staged an older plugin\n' >"$work/staging/Quillmere.asi"
ln "$work/staging/Quillmere.asi" "$work/deployed/Quillmere.asi"
run install "$work/deployed"
if [ "$status" -ne 0 ] || [ "$(cat "$work/staging/Quillmere.asi")" != "the mod manager staged an older plugin" ] ||
  ! cmp -s "$root/dist/Quillmere.asi" "$work/deployed/Quillmere.asi"; then
  fail "a hard link: exit $status, or written through: $(head -c 60 "$work/staging/Quillmere.asi")"
fi

# Names are data: a folder named with quotes, $, backticks, $(...), ${...}
# and brackets arrives as it is; one named like an option is a folder.
cases=$((cases + 1))
odd="$work/it's a \$game \`echo ran\` \$(echo ran) \${HOME} [x]"
mkdir "$odd" && other_mods "$odd"
run install "$odd"
if [ "$status" -ne 0 ] || [ ! -f "$odd/Quillmere.asi" ]; then
  fail "a folder named $odd: $(cat "$out/err")"
fi
mkdir "$work/-delete" && other_mods "$work/-delete" && printf 'beside it\n' >"$work/beside"
status=0
(cd "$work" && cmake -P "$script" -- install -delete) >"$out/out" 2>"$out/err" || status=$?
if [ "$status" -ne 0 ] || [ ! -f "$work/-delete/Quillmere.asi" ] || [ ! -f "$work/beside" ]; then
  fail "a folder named -delete: exit $status: $(cat "$out/err")"
fi

# Names Windows or CMake reads otherwise are refused, naming the character;
# the folder without it, which a trailing line break would have led to, is
# left alone.
mkdir "$work/plain" "$work/plain"$'\n' && other_mods "$work/plain" && other_mods "$work/plain"$'\n'
expect_refused "a trailing line break" "the game folder '.*/plain\?' holds a line break" install "$work/plain"$'\n'
expect_refused "a backslash" "the game folder '.*' holds '\\\\'" install "$work\\plain"
expect_refused "a star" "the game folder '.*' holds '\*'" uninstall "$work/pla*"
expect_refused "a semicolon" "the game folder '.*' holds ';'" install "$work/plain;$work/game"
mkdir "$work/semi;colon" && other_mods "$work/semi;colon" && ln -s "$work/semi;colon" "$work/leads-to-semicolon"
expect_refused "a link to a name with a semicolon" ".*/leads-to-semicolon leads to '.*', which holds ';'" install \
  "$work/leads-to-semicolon"

expect_refused "a name holding CMake's own words" ".*/CMake Error at it does not exist" install \
  "$work/CMake Error at it"

# Letter case: two names Windows takes for one file are refused, naming both.
mkdir "$work/two-cases" && other_mods "$work/two-cases"
printf 'old\n' >"$work/two-cases/QUILLMERE.ASI"
printf 'older\n' >"$work/two-cases/Quillmere.asi"
expect_refused "two names that differ only in case" ".* holds both QUILLMERE.ASI and Quillmere.asi" \
  uninstall "$work/two-cases"
expect_refused "a settings file that is a folder" ".*Quillmere.ini is a folder" install \
  "$(mkdir -p "$work/settings-folder/Quillmere.ini" && other_mods "$work/settings-folder" && echo "$work/settings-folder")"

# Letter case as Windows folds it, ASCII only, also under a Turkish locale
# (where I and i are not each other's case): the twins above are still
# twins, a player's QUILLMERE.INI is still theirs, and QUİLLMERE.ASİ, which
# Windows keeps apart from Quillmere.asi, is not the plugin's.
mkdir "$work/locales"
if ! localedef -i tr_TR -f UTF-8 "$work/locales/tr_TR.UTF-8" >/dev/null 2>&1; then
  fail "cannot make the Turkish locale (Debian's locales package)"
fi
locale=(LOCPATH="$work/locales" LC_ALL=tr_TR.UTF-8)
expect_refused "twins under a Turkish locale" ".* holds both QUILLMERE.ASI and Quillmere.asi" \
  install "$work/two-cases"
cases=$((cases + 1))
mkdir "$work/turkish" && other_mods "$work/turkish"
printf '[keys]\r\nquillmere=76\r\n' >"$work/turkish/QUILLMERE.INI"
printf 'another plugin\n' >"$work/turkish/QUİLLMERE.ASİ"
run install "$work/turkish"
run uninstall "$work/turkish"
if [ -e "$work/turkish/Quillmere.ini" ] || [ ! -f "$work/turkish/QUILLMERE.INI" ] ||
  [ "$(cat "$work/turkish/QUİLLMERE.ASİ")" != "another plugin" ] || [ -e "$work/turkish/Quillmere.asi" ]; then
  fail "under a Turkish locale: $(find "$work/turkish" -maxdepth 1 -printf '%f ')"
fi
locale=()

# Stopped at each step in turn (killed from inside it), or failing there: an
# install leaves every plugin file whole, the old or the new one, the
# player's settings and every other file as they were; a failing one puts
# back what it replaced. The next run completes and leaves no name of its
# own behind. Then the same for uninstall.
stop_at() { # VERB GAME STEP ACTION: runs the script directly, with the hook
  printf 0 >"$out/counter"
  status=0
  (
    cmake -D "QUILLMERE_TEST_HOOK=$step_hook" -D "COUNTER=$out/counter" -D "STOP_AT=$3" -D "ACTION=$4" \
      -P "$script" -- "$1" "$2" >"$out/out" 2>"$out/err"
    exit $?
  ) 2>/dev/null || status=$?
}
for verb in install uninstall; do
  for action in kill fail; do
    cases=$((cases + 1))
    for ((at = 1; ; at++)); do
      game=$work/stops && rm -rf "$game" && mkdir "$game" && other_mods "$game"
      printf 'an older plugin\n' >"$game/Quillmere.asi"
      printf 'older notes\n' >"$game/Quillmere.txt"
      [ "$verb" = install ] || run install "$game"
      before=$(snapshot "$game")
      stop_at "$verb" "$game" "$at" "$action"
      [ "$(cat "$out/counter")" -ge "$at" ] || break  # every step passed
      for name in Quillmere.asi Quillmere.txt; do
        now=none
        [ ! -e "$game/$name" ] || now=$(sha256sum <"$game/$name" | cut -d' ' -f1)
        old=$(grep " ./$name\$" <<<"$before" | cut -d' ' -f1)
        new=$(sha256sum <"$root/dist/$name" | cut -d' ' -f1)
        [ "$verb" = install ] || new=none
        [ "$now" = "$old" ] || [ "$now" = "$new" ] ||
          fail "$verb, $action at step $at: $name is neither the old nor the new one"
      done
      [ "$(snapshot "$game" | others | grep -v quillmere-)" = "$(others <<<"$before")" ] ||
        fail "$verb, $action at step $at: another file changed"
      if [ "$action" = fail ] && { [ "$status" -eq 0 ] || [ "$(grep -c "^$verb: " "$out/err")" -ne 1 ]; }; then
        fail "$verb, failing at step $at: exit $status: $(head -1 "$out/err")"
      fi
      # A failing install puts back what it replaced, unless all that was
      # left was clearing away the copies it kept of the old files.
      if [ "$action" = fail ] && [ "$verb" = install ] && [ "$(snapshot "$game")" != "$before" ] &&
        ! { cmp -s "$game/Quillmere.asi" "$root/dist/Quillmere.asi" &&
          cmp -s "$game/Quillmere.txt" "$root/dist/Quillmere.txt"; }; then
        fail "install, failing at step $at: neither as it was nor installed: $(find "$game" -maxdepth 1 -name 'Quill*' -printf '%f ')"
      fi
      stop_at "$verb" "$game" 0 none
      leftover=$(find "$game" -maxdepth 1 -name '*quillmere-*' -printf '%f ')
      if [ "$status" -ne 0 ] || [ -n "$leftover" ]; then
        fail "$verb, the run after $action at step $at: exit $status: $(head -1 "$out/err") $leftover"
      fi
    done
    [ "$at" -gt 3 ] || fail "$verb, $action: only $at steps were tried"
  done
done

# One package folder: install reads the package where the build put it.
cases=$((cases + 1))
mkdir -p "$work/build" "$work/elsewhere-game" && other_mods "$work/elsewhere-game"
cp -r "$(cat "$root/build/package/package-folder")" "$work/package"
printf '%s' "$work/package" >"$work/build/package-folder"
status=0
QUILLMERE_BUILD=$work/build make -s -C "$root" install GAME_DIR="$work/elsewhere-game" \
  >"$out/out" 2>"$out/err" || status=$?
if [ "$status" -ne 0 ] || ! grep -q "(from $work/package)" "$out/out"; then
  fail "a package built elsewhere: exit $status: $(cat "$out/err")"
fi

# Messages say what happened.
cases=$((cases + 1))
mkdir "$work/empty"
run uninstall "$work/empty"
if [ "$status" -ne 0 ] || ! grep -q "^nothing to remove: $work/empty" "$out/out"; then
  fail "uninstall with nothing to remove says: $(cat "$out/out" "$out/err")"
fi

[ "$shell_folder" = "$(snapshot "$GAME_DIR")" ] || fail "the folder GAME_DIR names in the environment changed"
if [ "$failures" -eq 0 ]; then
  echo "game folders: all $cases cases as expected"
else
  echo "game folders: $failures check(s) failed in $cases cases"
  exit 1
fi
