#!/usr/bin/env bash
# Runs a Windows program under Wine, headless, in the Wine prefix of the
# build BUILD: the one place that knows where a build keeps its prefix. The
# prefix is created on first use (wineboot), which takes a few seconds.
# Paths are given to the program as Linux names them: the Windows programs
# ask Wine for the Windows name (tools/wine/windows_path.h).
# Usage: run.sh BUILD PROGRAM [ARGS...]
set -euo pipefail
if [ $# -lt 2 ]; then
  echo "usage: $0 BUILD PROGRAM [ARGS...]" >&2
  exit 2
fi
prefix=$(realpath -m -- "$1")/wineprefix
shift

# The first of the given commands that is installed, or nothing.
first_installed() {
  for candidate in "$@"; do
    if command -v "$candidate" >/dev/null 2>&1; then
      echo "$candidate"
      return
    fi
  done
}

wine=$(first_installed /usr/lib/wine/wine64 wine64 wine)
if [ -z "$wine" ]; then
  echo "error: Wine is not installed (make test installs Debian's wine64)" >&2
  exit 1
fi

# The prefix's folder first: the server below does not start without it, and
# then the program run last would make the prefix itself, its background
# processes holding our output and its notes on standard error.
mkdir -p "$prefix"
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
# Wine names files by the locale's character set: in UTF-8, every letter a
# path holds reaches the program (in C's ASCII, a folder named with an
# umlaut cannot be opened).
export LC_ALL=C.UTF-8
# No .NET or HTML engine: nothing here needs them, and Wine would try to install them.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

# Wine's own background processes (the server, services, explorer) live on
# after a program ends and keep whatever output they inherited, so a reader of
# the program's output (CTest) would wait for them to quit. Start them here,
# detached from our output and kept for a while, unless they already run.
wineserver=$(first_installed /usr/lib/wine/wineserver wineserver64 wineserver)
if [ -n "$wineserver" ] && "$wineserver" --persistent=30 </dev/null >/dev/null 2>&1; then
  # A new server: bring up the background processes under it, quietly.
  "$wine" wineboot </dev/null >/dev/null 2>&1 || true
fi
exec "$wine" "$@"
