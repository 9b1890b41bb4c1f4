#!/usr/bin/env bash
# Checks that the shipped DLL loads on a machine with nothing but Windows and
# the script host: it imports only from the host, KERNEL32 and msvcrt (the
# host by exactly its eight decorated names), exports no names, and is small.
# Usage: check-dll.sh OBJDUMP DLL
set -uo pipefail
objdump=$1
dll=$2
max_bytes=32768
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

[ -f "$dll" ] || { echo "FAIL: no such file: $dll" >&2; exit 1; }
headers=$("$objdump" -p "$dll") || { echo "FAIL: $objdump cannot read $dll" >&2; exit 1; }

# Import names per DLL, as "DLL<TAB>name" lines.
imports=$(awk '
  /^\tDLL Name: / { dll = $3; next }
  /^\tvma:/ { next }
  dll != "" && /^\t[0-9a-f]+\t/ { print dll "\t" $3; next }
  /^$/ { }
' <<<"$headers")

dlls=$(sed -n 's/^\tDLL Name: //p' <<<"$headers" | sort -u)
for name in $dlls; do
  case "$name" in
    ScriptHookV.dll|KERNEL32.dll|msvcrt.dll) ;;
    *) fail "imports from $name" ;;
  esac
done
grep -qx 'ScriptHookV.dll' <<<"$dlls" || fail "does not import from ScriptHookV.dll"

expected_host=$(sort <<'NAMES'
?scriptRegister@@YAXPEAUHINSTANCE__@@P6AXXZ@Z
?scriptUnregister@@YAXP6AXXZ@Z
?keyboardHandlerRegister@@YAXP6AXKGEHHHH@Z@Z
?keyboardHandlerUnregister@@YAXP6AXKGEHHHH@Z@Z
?scriptWait@@YAXK@Z
?nativeInit@@YAX_K@Z
?nativePush64@@YAX_K@Z
?nativeCall@@YAPEA_KXZ
NAMES
)
actual_host=$(awk -F'\t' '$1 == "ScriptHookV.dll" { print $2 }' <<<"$imports" | sort)
if [ "$actual_host" != "$expected_host" ]; then
  fail "ScriptHookV.dll imports differ from the eight host functions:"
  diff <(echo "$expected_host") <(echo "$actual_host") >&2
fi

for name in GetTickCount GetPrivateProfileIntA; do
  awk -F'\t' -v n="$name" '$1 == "KERNEL32.dll" && $2 == n { found = 1 } END { exit !found }' \
    <<<"$imports" || fail "does not import $name from KERNEL32.dll"
done

# Each exported name is a "\t[ n] name" line under the name pointer table.
exported=$(awk '/^\[Ordinal\/Name Pointer\] Table/ { table = 1; next }
                table && /^$/ { table = 0 }
                table && /^\t\[/ { n++ }
                END { print n + 0 }' <<<"$headers")
[ "$exported" -eq 0 ] || fail "exports $exported names"

size=$(stat -c %s "$dll")
[ "$size" -le "$max_bytes" ] || fail "is $size bytes, over $max_bytes"

if [ "$failures" -ne 0 ]; then
  echo "$dll: $failures check(s) failed" >&2
  exit 1
fi
echo "$dll: imports, exports and size ($size bytes) as required"
