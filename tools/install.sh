#!/bin/sh
# make install and make uninstall: the one writer into a game's folder,
# tools/plugin-files.cmake, on $GAME_DIR. A refusal is one line: the note
# CMake before 3.29 adds after it ("CMake Error at", a line of its own) is
# left out. A name starting with - goes as ./NAME: CMake 3.25 reads some such
# names as its own options, even after --. As root (sudo, on Linux), the
# writer runs as the game folder's owner, so that what it installs is
# theirs, or where that is root as the checkout's: root itself writes through
# no link another user placed. POSIX sh: make install runs on macOS too.
# Usage: install.sh install|uninstall
# shellcheck disable=SC2086 # $as, unquoted, is words of our own
cd "${0%/*}/.." || exit 2
game=$GAME_DIR
case $game in -*) game=./$game ;; esac
as=
if [ "$(id -u 2>/dev/null)" = 0 ] && command -v setpriv >/dev/null 2>&1; then
  owner=$(stat -L -c %u:%g -- "$game" 2>/dev/null) || owner=
  case $owner in 0:*) roots=yes ;; esac
  case $owner in '' | 0:*) owner=$(stat -c %u:%g .) ;; esac
  as="setpriv --reuid=${owner%:*} --regid=${owner#*:} --clear-groups"
  [ -z "${roots:-}" ] || $as test -w "$game" || { echo "$1: $game is root's, and with sudo this" \
    "checkout's owner writes there, who may not: install from a checkout of root's" >&2 && exit 2; }
  $as test -r tools/plugin-files.cmake || { echo "$1: with sudo, $game's owner installs, who may" \
    "not read this checkout: install from a checkout that user may read" >&2 && exit 2; }
fi
{ said=$($as cmake -P tools/plugin-files.cmake -- "$1" "$game" 2>&1 >&3 3>&-); } 3>&1
status=$?
[ -z "$said" ] || printf '%s\n' "$said" | sed '/^CMake Error at/,$d' >&2
[ "$status" -eq 0 ] || exit 2
