#!/usr/bin/env bash
# Checks the decorated names in scripthookv.def against the names the MSVC
# ABI gives the host's declarations, so a mistyped name fails here rather
# than as a plugin the host's loader refuses.
# Usage: check-host-names.sh CLANG NM DECLARATIONS.cpp SCRIPTHOOKV.def
set -euo pipefail
clang=$1 nm=$2 declarations=$3 def=$4
object=$(mktemp --suffix=.obj)
trap 'rm -f "$object"' EXIT

"$clang" -target x86_64-pc-windows-msvc -c "$declarations" -o "$object"
expected=$("$nm" "$object" | sed -n 's/^ *U __imp_//p' | sort)
actual=$(sed -n 's/^[A-Za-z0-9_]* *== *//p' "$def" | tr -d '\r' | sort)
if [ "$expected" != "$actual" ]; then
  echo "FAIL: $def does not name the host's exports as the MSVC ABI decorates them:" >&2
  diff <(echo "$expected") <(echo "$actual") >&2
  exit 1
fi
echo "the $(wc -l <<<"$actual") host names in $def are as the MSVC ABI decorates them"
