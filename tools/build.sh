#!/bin/sh
# Configures and builds the CMake preset PRESET of this checkout (its TARGETs,
# or all), one run at a time, the next waiting its turn. A tree configured
# for another folder (the checkout was copied or moved with its build/) is
# removed first and made afresh (tools/plugin-files.cmake says which). With
# --if-missing, a tree configured here is built as it is; the target
# "configured" builds nothing. POSIX sh: make install runs it (where there is
# no flock, as on macOS, two runs at once are not kept apart).
# Usage: build.sh PRESET [--if-missing] [TARGET...]
set -eu
cd "${0%/*}/.."
if [ -z "${QUILLMERE_BUILD_TURN:-}" ] && command -v flock >/dev/null 2>&1; then
  QUILLMERE_BUILD_TURN=1 exec flock . tools/build.sh "$@"
fi
preset=$1
shift
cmake -P tools/plugin-files.cmake -- fresh "$preset"
{ [ "${1:-}" = --if-missing ] && shift && [ -f "build/$preset/build.ninja" ]; } ||
  cmake --preset "$preset" --log-level=WARNING >/dev/null
[ "${1:-}" != configured ] || exit 0
[ $# -eq 0 ] || set -- --target "$@"
exec cmake --build "build/$preset" "$@"
