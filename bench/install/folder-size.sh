#!/usr/bin/env bash
# make bench: what a game folder's size costs make install. The writer
# (tools/plugin-files.cmake, run by cmake -P) installs into folders of N and
# of 10 N entries besides the script host, one of them named with ';',
# which CMake's lists split. Its time should grow with the entries and no
# faster: ten times the entries taking more than twenty times as long fails.
# Each time is the least of three runs.
# Usage: folder-size.sh [--quick]   (N is 10 000, or 1 000 with --quick)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
small=10000
[ "${1:-}" != --quick ] || small=1000
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

milliseconds() { # ENTRIES: the least time of three installs into such a folder
  local folder=$work/$1 start
  mkdir "$folder"
  (cd "$folder" && seq -f 'mod-%g.dat' "$1" | xargs touch && touch 'a;b.dat' ScriptHookV.dll)
  for _ in 1 2 3; do
    start=$(date +%s%N)
    cmake -P "$root/tools/plugin-files.cmake" -- install "$folder" >/dev/null
    echo $((($(date +%s%N) - start) / 1000000))
  done | sort -n | head -n 1
}

few=$(milliseconds "$small")
many=$(milliseconds $((small * 10)))
tenths=$((many * 10 / (few > 0 ? few : 1)))
echo "install into a game folder: $small entries $few ms, $((small * 10)) entries $many ms" \
  "(x$((tenths / 10)).$((tenths % 10)) for ten times the entries; at most x20)"
[ "$many" -le $((few * 20)) ] ||
  { echo "FAIL: install's time grows faster than the folder it installs into" >&2 && exit 1; }
