#!/bin/sh
# Configures the CMake preset PRESET in this checkout, quietly. A build tree
# that was configured for another folder (the checkout was copied or moved)
# is configured afresh: CMake would refuse it, and building it would go back
# into that folder. With --if-missing, a tree configured here already is left
# as it is (make install's: two runs at once must not regenerate it together).
# POSIX sh, since a modder's make install runs it.
# Usage: configure.sh PRESET [--if-missing]
set -eu
cd "${0%/*}/.."
tree=build/$1
home=
if [ -f "$tree/CMakeCache.txt" ]; then
  while IFS= read -r line; do
    case $line in CMAKE_HOME_DIRECTORY:INTERNAL=*) home=${line#*=} ;; esac
  done <"$tree/CMakeCache.txt"
fi
if [ -n "$home" ] && [ "$(cd "$home" 2>/dev/null && pwd -P)" != "$(pwd -P)" ]; then
  cmake --preset "$1" --fresh --log-level=WARNING >/dev/null
elif [ -z "$home" ] || [ "${2:-}" != --if-missing ] || [ ! -f "$tree/build.ninja" ]; then
  cmake --preset "$1" --log-level=WARNING >/dev/null
fi
