#!/usr/bin/env bash
# clang-format over every C++ file, then clang-tidy over every source the
# project compiles: the Linux builds' from their compile commands, and the
# Windows build's (the stand-in ScriptHookV.dll, the end-to-end tests, the
# ride, the shipped-DLL bench) from the windows build's, read by clang for
# MinGW-w64's target with MinGW-w64's own C++ headers. Two at a time.
# Run from the project's root, after the linux-clang, linux-asan and windows
# presets are configured.
set -uo pipefail

mapfile -t formatted < <(find host input neon standins tests bench tools -name '*.cpp' -o -name '*.h' | sort)
clang-format --dry-run -Werror "${formatted[@]}" || exit 1

linux=(host/entry.cpp input/*.cpp neon/*.cpp standins/linux/*.cpp standins/world/*.cpp
  bench/linux/*.cpp tests/unit/*.cpp tests/stress/*.cpp tests/property/*.cpp tests/ini_reader/*.cpp)
fuzz=(tests/fuzz/*.cpp)
windows=(standins/scripthookv_dll/*.cpp tests/e2e/*.cpp tools/ride/*.cpp bench/shipped_dll/*.cpp)

# MinGW-w64's C++ and Windows headers, as the windows build's compiler
# searches them, less GCC's own intrinsics headers (clang has its own).
mingw=$(sed -n 's/^QUILLMERE_MINGW_CXX:FILEPATH=//p' build/windows/CMakeCache.txt)
mingw_headers=()
while read -r folder; do
  mingw_headers+=("--extra-arg=-isystem$folder")
done < <(echo | "$mingw" -std=c++20 -E -x c++ -v - 2>&1 |
  sed -n '/search starts here:/,/End of search list/p' | grep '^ ' | sed 's/^ *//' |
  grep -Ev '/gcc/[^/]+/[^/]+/include(-fixed)?$')

tidy() {  # BUILD [EXTRA ARGS...] -- FILES...
  local build=$1
  shift
  local args=()
  while [ "$1" != "--" ]; do
    args+=("$1")
    shift
  done
  shift
  printf '%s\n' "$@" | xargs -P 2 -n 4 clang-tidy -p "build/$build" --quiet "${args[@]}" 2>&1 |
    grep -v 'warnings generated'
  return "${PIPESTATUS[1]}"
}

status=0
tidy linux-clang -- "${linux[@]}" || status=1
tidy linux-asan -- "${fuzz[@]}" || status=1
tidy windows --extra-arg-before=--target=x86_64-w64-mingw32 "${mingw_headers[@]}" -- "${windows[@]}" ||
  status=1
[ "$status" -eq 0 ] && echo "lint: format and clang-tidy clean"
exit "$status"
