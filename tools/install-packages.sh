#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and only those
# that are missing, so that a second run costs nothing and prints nothing.
set -euo pipefail

packages=(
  make cmake ninja-build pkgconf zip unzip
  g++ clang llvm
  libgtest-dev googletest
  wine64
  valgrind libbenchmark-dev libclang-rt-14-dev clang-format clang-tidy
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  python3 python3-pefile python3-pil chromium shellcheck
)

missing=()
for package in "${packages[@]}"; do
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
