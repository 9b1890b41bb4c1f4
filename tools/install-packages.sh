#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and only those
# that are missing, so that a second run costs nothing and prints nothing.
# On a system without apt-get and dpkg-query it installs nothing: it checks
# the commands those packages bring and names, in one line, any that is
# missing (libraries it leaves to CMake, which names them when it needs them).
set -euo pipefail

# Each package, and the command that shows it installed on any system (none
# for a library).
packages=(
  "make make" "cmake cmake" "ninja-build ninja" "pkgconf pkg-config" "zip zip" "unzip unzip"
  "g++ g++" "clang clang++" "llvm llvm-nm"
  "libgtest-dev" "googletest"
  "wine64 wine"
  "valgrind valgrind" "libbenchmark-dev" "libclang-rt-14-dev" "clang-format clang-format"
  "clang-tidy clang-tidy"
  "g++-mingw-w64-x86-64-posix x86_64-w64-mingw32-g++" "binutils-mingw-w64-x86-64 x86_64-w64-mingw32-windres"
  "python3 python3" "python3-pefile" "python3-pil" "chromium chromium" "shellcheck shellcheck"
)

if ! command -v apt-get >/dev/null 2>&1 || ! command -v dpkg-query >/dev/null 2>&1; then
  missing=()
  for row in "${packages[@]}"; do
    read -r _ command <<<"$row"
    if [ -n "$command" ] && ! command -v "$command" >/dev/null 2>&1; then
      missing+=("$command")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && exit 0
  echo "error: no apt-get here, and these commands are missing: ${missing[*]}; install them with this system's packages (the package alone needs only CMake, Ninja and MinGW-w64: cmake --preset package)" >&2
  exit 1
fi

missing=()
for row in "${packages[@]}"; do
  read -r package _ <<<"$row"
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

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
