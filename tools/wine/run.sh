#!/usr/bin/env bash
# Runs a Windows program under Wine, headless, in the Wine prefix of the
# build BUILD, made on first use: the one place that knows where it is.
# Usage: run.sh BUILD PROGRAM [ARGS...]
set -euo pipefail
prefix=$(realpath -m -- "$1")/wineprefix
shift

# The first of these that is installed (command -v prints each it finds).
wine=$(command -v /usr/lib/wine/wine64 wine64 wine | head -n 1 || true)
[ -n "$wine" ] ||
  { echo "error: Wine is not installed (make test installs Debian's wine64)" >&2 && exit 1; }

# The prefix's folder first: the server below does not start without it.
# Its HOME is the build's too, so that the links Wine makes there (Desktop,
# Documents) point into the build, not into a user's folders.
mkdir -p "$prefix" "$prefix-home"
export WINEPREFIX=$prefix HOME=$prefix-home WINEDEBUG=${WINEDEBUG:--all}
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
wineserver=$(command -v /usr/lib/wine/wineserver wineserver64 wineserver | head -n 1 || true)
if [ -n "$wineserver" ] && "$wineserver" --persistent=30 </dev/null >/dev/null 2>&1; then
  # A new server: bring up the background processes under it, quietly.
  "$wine" wineboot </dev/null >/dev/null 2>&1 || true
fi
exec "$wine" "$@"
