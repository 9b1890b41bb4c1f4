#!/usr/bin/env bash
# Puts the plugin into a game's folder, or takes it out again, for modders
# who try a build in the game (on Windows, or on Linux with the game under
# Wine or Proton). It touches no file but the plugin's own three:
#   install    copies Quillmere.asi and Quillmere.txt, and Quillmere.ini only
#              when the folder has none, so a player's own settings stay.
#              Refused unless the folder holds ScriptHookV.dll (the script
#              host, which loads the plugin).
#   uninstall  removes Quillmere.asi and Quillmere.txt, and Quillmere.ini only
#              when it is still the one the package ships.
# Names match in any letter case, as Windows matches them, so a file that
# Windows would take for one of the plugin's is that file.
# Usage: game-folder.sh install|uninstall GAME_DIR DIST
# Says what it did, a line a file; a refusal is one line and exit status 2.
set -euo pipefail

refuse() {
  echo "$verb: $*" >&2
  exit 2
}

# The file in the game's folder that Windows would open as NAME: an existing
# one in any letter case, or NAME itself.
in_game() {
  local found
  found=$(find "$game" -mindepth 1 -maxdepth 1 -iname "$1" -print -quit)
  echo "${found:-$game/$1}"
}

install_plugin() {
  [ -n "$(find "$game" -mindepth 1 -maxdepth 1 -type f -iname ScriptHookV.dll -print -quit)" ] ||
    refuse "$game holds no ScriptHookV.dll: install the script host there first"
  local name target
  for name in Quillmere.asi Quillmere.txt; do
    target=$(in_game "$name")
    cp "$dist/$name" "$target"
    echo "installed $target"
  done
  target=$(in_game Quillmere.ini)
  if [ -e "$target" ]; then
    echo "kept $target: the settings already there stay as they are"
  else
    cp "$dist/Quillmere.ini" "$target"
    echo "installed $target (the default settings)"
  fi
}

uninstall_plugin() {
  local name target
  for name in Quillmere.asi Quillmere.txt; do
    target=$(in_game "$name")
    if [ -f "$target" ]; then
      rm -f "$target"
      echo "removed $target"
    fi
  done
  target=$(in_game Quillmere.ini)
  if [ ! -e "$target" ]; then
    return
  elif cmp -s "$target" "$dist/Quillmere.ini"; then
    rm -f "$target"
    echo "removed $target (the default settings, unchanged)"
  else
    echo "kept $target: it holds settings of your own (delete it by hand if you no longer want them)"
  fi
}

verb=${1:-}
case "$verb" in
  install) action=install_plugin ;;
  uninstall) action=uninstall_plugin ;;
  *)
    echo "usage: $0 install|uninstall GAME_DIR DIST" >&2
    exit 2
    ;;
esac
[ $# -eq 3 ] || refuse "usage: $0 $verb GAME_DIR DIST"
game=${2%/}
dist=$3
[ -n "$2" ] || refuse "say which folder: make $verb GAME_DIR=/path/to/the/game"
game=${game:-/}
[ -e "$game" ] || refuse "$game does not exist"
[ -d "$game" ] || refuse "$game is not a folder"
for name in Quillmere.asi Quillmere.ini Quillmere.txt; do
  [ -f "$dist/$name" ] || refuse "$dist/$name is missing: run make first"
done
"$action"
