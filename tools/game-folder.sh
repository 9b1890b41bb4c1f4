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
# The package is read where the build put it: the folder BUILD's
# package-folder file names (BUILD is $QUILLMERE_BUILD, by default the
# windows build of this project).
#
# Everything is checked before anything is written, and an install that
# fails half-way puts back what it replaced, so the folder is either as it
# was or fully updated. The game's folder may be given through a link: its
# real path is used. The plugin's files are matched in any letter case, as
# Windows opens them; one that is a link or not a plain file is never written
# or deleted through, and two names that differ only in case are refused, since
# Windows would take either for the plugin's file.
# Usage: game-folder.sh install|uninstall GAME_DIR
# Says what it did, a line a file; a refusal is one line and exit status 2.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${QUILLMERE_BUILD:-$here/../build/windows}
plugin_files=(Quillmere.asi Quillmere.txt Quillmere.ini)

refuse() {
  echo "$verb: $*" >&2
  exit 2
}

# The entries of the game's folder that Windows would open as NAME, in any
# letter case, one a line (none, one, or several that differ only in case).
entries_named() {
  local wanted=${1,,} path
  for path in "$base"/* "$base"/.*; do
    local name=${path##*/}
    if [ "${name,,}" = "$wanted" ] && { [ -e "$path" ] || [ -L "$path" ]; }; then
      printf '%s\n' "$path"
    fi
  done
}

# Sets target[NAME]: the path Windows opens for NAME in the game's folder, the
# one there in any letter case or NAME itself; refuses what must not be
# written or deleted through.
declare -A target
find_targets() {
  local name found
  for name in "${plugin_files[@]}"; do
    mapfile -t found < <(entries_named "$name")
    if [ "${#found[@]}" -gt 1 ]; then
      refuse "$game holds both ${found[0]##*/} and ${found[1]##*/}, which Windows takes for one file: remove one of them first"
    elif [ "${#found[@]}" -eq 0 ]; then
      target[$name]=$base/$name
    elif [ -L "${found[0]}" ]; then
      refuse "${found[0]} is a link: it is left alone, not written or deleted through; replace it with a plain file or remove it first"
    elif [ -d "${found[0]}" ]; then
      refuse "${found[0]} is a folder, not the plugin's file: move it away first"
    elif [ ! -f "${found[0]}" ]; then
      refuse "${found[0]} is not a plain file: move it away first"
    else
      target[$name]=${found[0]}
    fi
  done
}

# Install's undo list: what it wrote, and where the files it replaced wait.
written=()
saved=$(mktemp -d)
undo_install() {
  local path lost=()
  for path in "${written[@]}"; do
    rm -f -- "$path" || lost+=("$path")
    [ ! -f "$saved/${path##*/}" ] || cp -p -- "$saved/${path##*/}" "$path" || lost+=("$path")
  done
  if [ "${#lost[@]}" -eq 0 ]; then
    echo "$verb: failed half-way; $game is as it was" >&2
  else
    echo "$verb: failed half-way, and these could not be put back as they were: ${lost[*]}" >&2
  fi
}
on_exit() {
  local status=$?
  [ "$status" -eq 0 ] || [ "${#written[@]}" -eq 0 ] || undo_install
  rm -rf -- "$saved"
}
trap on_exit EXIT

install_plugin() {
  local host
  mapfile -t host < <(entries_named ScriptHookV.dll)
  if [ "${#host[@]}" -eq 0 ] || [ ! -f "${host[0]}" ]; then
    refuse "$game holds no ScriptHookV.dll: install the script host there first"
  fi
  local keep_settings=
  [ ! -e "${target[Quillmere.ini]}" ] || keep_settings=1

  local name copies=(Quillmere.asi Quillmere.txt)
  [ -n "$keep_settings" ] || copies+=(Quillmere.ini)
  for name in "${copies[@]}"; do
    [ ! -f "${target[$name]}" ] || cp -p -- "${target[$name]}" "$saved/${target[$name]##*/}"
    written+=("${target[$name]}")
    cp -- "$dist/$name" "${target[$name]}"
  done
  for name in "${copies[@]}"; do
    echo "installed ${target[$name]} (from $dist)"
  done
  [ -z "$keep_settings" ] ||
    echo "kept ${target[Quillmere.ini]}: the settings already there stay as they are"
}

uninstall_plugin() {
  local name removed=0
  for name in Quillmere.asi Quillmere.txt; do
    if [ -f "${target[$name]}" ]; then
      rm -f -- "${target[$name]}"
      echo "removed ${target[$name]}"
      removed=$((removed + 1))
    fi
  done
  local settings=${target[Quillmere.ini]}
  if [ ! -e "$settings" ]; then
    [ "$removed" -gt 0 ] || echo "nothing to remove: $game holds none of the plugin's files"
  elif cmp -s -- "$settings" "$dist/Quillmere.ini"; then
    rm -f -- "$settings"
    echo "removed $settings (the default settings, unchanged)"
  else
    echo "kept $settings: it holds settings of your own (delete it by hand if you no longer want them)"
  fi
}

verb=${1:-}
if [ "$verb" != install ] && [ "$verb" != uninstall ]; then
  echo "usage: $0 install|uninstall GAME_DIR" >&2
  exit 2
fi
[ $# -eq 2 ] || refuse "usage: $0 $verb GAME_DIR"
[ -n "$2" ] || refuse "say which folder: make $verb GAME_DIR=/path/to/the/game"
given=$2
if [ -L "$given" ] && [ ! -e "$given" ]; then
  refuse "$given is a link to nothing"
fi
[ -e "$given" ] || refuse "$given does not exist"
[ -d "$given" ] || refuse "$given is not a folder"
game=$(realpath -- "$given")
base=${game%/}  # what a name in it follows, so that / gives /NAME
shopt -s nullglob

[ -f "$build/package-folder" ] || refuse "$build holds no package: run make first"
dist=$(<"$build/package-folder")
for name in "${plugin_files[@]}"; do
  [ -f "$dist/$name" ] || refuse "$dist/$name is missing: run make first"
done
find_targets
if [ "$verb" = install ]; then
  install_plugin
else
  uninstall_plugin
fi
