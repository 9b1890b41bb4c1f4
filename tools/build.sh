#!/bin/sh
# Configures and builds the CMake preset PRESET of this checkout (its TARGETs,
# or all), one run at a time, the next waiting its turn. A tree
# configured for another folder (the checkout was copied or moved) is
# configured afresh: CMake would refuse it, and its build would go back into
# that folder. With --if-missing, a tree configured here is built as it is;
# the target "configured" builds nothing. POSIX sh: make install runs it
# (where there is no flock, as on macOS, two runs at once are not kept apart).
# Usage: build.sh PRESET [--if-missing] [TARGET...]
set -eu
cd "${0%/*}/.."
if [ -z "${QUILLMERE_BUILD_TURN:-}" ] && command -v flock >/dev/null 2>&1; then
  QUILLMERE_BUILD_TURN=1 exec flock . tools/build.sh "$@"
fi
tree=build/$1
shift
home=
if [ -f "$tree/CMakeCache.txt" ]; then
  while IFS= read -r line; do
    case $line in CMAKE_HOME_DIRECTORY:INTERNAL=*) home=${line#*=} ;; esac
  done <"$tree/CMakeCache.txt"
  case $home in \'*\') home=${home#\'} home=${home%\'} ;; esac  # how CMake keeps a trailing blank
fi
if [ -n "$home" ] && [ "$(cd "$home" 2>/dev/null && pwd -P)" != "$(pwd -P)" ]; then
  cmake --preset "${tree#build/}" --fresh --log-level=WARNING >/dev/null
elif [ -z "$home" ] || [ "${1:-}" != --if-missing ] || [ ! -f "$tree/build.ninja" ]; then
  cmake --preset "${tree#build/}" --log-level=WARNING >/dev/null
fi
[ "${1:-}" != --if-missing ] || shift
[ "${1:-}" != configured ] || exit 0
[ $# -eq 0 ] || set -- --target "$@"
exec cmake --build "$tree" "$@"
