#!/usr/bin/env bash
# Checks that the shipped DLL is the plugin and nothing else:
# - it imports exactly the host's eight functions (by their decorated names)
#   and KERNEL32's GetTickCount and GetPrivateProfileIntA, from no other DLL;
# - it exports no names and has no TLS directory (no runtime start-up code);
# - it has no base relocations: no absolute address anywhere, so no .refptr
#   indirection to its own data;
# - every instruction lies in a function with unwind data (.pdata), padding
#   aside, so the host can unwind through the plugin's frames, and no jump
#   thunk stands between the plugin and its imports; the entry point is the
#   start of such a function;
# - it is small.
# Usage: check-dll.sh OBJDUMP DLL
set -uo pipefail
objdump=$1
dll=$2
max_bytes=12288
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

[ -f "$dll" ] || { echo "FAIL: no such file: $dll" >&2; exit 1; }
headers=$("$objdump" -p "$dll") || { echo "FAIL: $objdump cannot read $dll" >&2; exit 1; }
code=$("$objdump" -d "$dll") || { echo "FAIL: $objdump cannot disassemble $dll" >&2; exit 1; }

# Import names as "DLL<TAB>name" lines, sorted.
imports=$(awk '
  /^\tDLL Name: / { dll = $3; next }
  /^\tvma:/ { next }
  dll != "" && /^\t[0-9a-f]+\t/ { print dll "\t" $3; next }
' <<<"$headers" | sort)
expected_imports=$(sort <<'NAMES'
KERNEL32.dll	GetPrivateProfileIntA
KERNEL32.dll	GetTickCount
ScriptHookV.dll	?keyboardHandlerRegister@@YAXP6AXKGEHHHH@Z@Z
ScriptHookV.dll	?keyboardHandlerUnregister@@YAXP6AXKGEHHHH@Z@Z
ScriptHookV.dll	?nativeCall@@YAPEA_KXZ
ScriptHookV.dll	?nativeInit@@YAX_K@Z
ScriptHookV.dll	?nativePush64@@YAX_K@Z
ScriptHookV.dll	?scriptRegister@@YAXPEAUHINSTANCE__@@P6AXXZ@Z
ScriptHookV.dll	?scriptUnregister@@YAXP6AXXZ@Z
ScriptHookV.dll	?scriptWait@@YAXK@Z
NAMES
)
if [ "$imports" != "$expected_imports" ]; then
  fail "imports differ from the host's eight functions and KERNEL32's two:"
  diff <(echo "$expected_imports") <(echo "$imports") >&2
fi

# Each exported name is a "\t[ n] name" line under the name pointer table.
exported=$(awk '/^\[Ordinal\/Name Pointer\] Table/ { table = 1; next }
                table && /^$/ { table = 0 }
                table && /^\t\[/ { n++ }
                END { print n + 0 }' <<<"$headers")
[ "$exported" -eq 0 ] || fail "exports $exported names"

# Data directory entry 9 is the TLS directory: address and size zero.
tls=$(awk '/^Entry 9 / { print $3 $4 }' <<<"$headers")
[ "$tls" = "0000000000000000000000000" ] || [ "$tls" = "000000000000000000000000" ] ||
  fail "has a TLS directory ($tls)"

grep -q 'PE File Base Relocations' <<<"$headers" && fail "has base relocations (absolute addresses)"

# Function ranges from .pdata, as "begin end" in hexadecimal.
functions=$(awk '/^The Function Table/ { table = 1; next }
                 table && /^$/ { table = 0 }
                 table && /^ [0-9a-f]+:\t/ { print $2, $3 }' <<<"$headers")
[ -n "$functions" ] || fail "has no unwind data (.pdata)"
entry=$(awk '/^AddressOfEntryPoint/ { print $2 }' <<<"$headers")
base=$(awk '/^ImageBase/ { print $2 }' <<<"$headers")
entry_vma=$(printf '%x' $((0x$base + 0x$entry)))
awk -v e="$entry_vma" '{ b = $1; sub(/^0+/, "", b); if (b == e) found = 1 } END { exit !found }' \
  <<<"$functions" || fail "the entry point is not the start of a function with unwind data"

# Between functions, every instruction must be padding. After the last one,
# .text holds only padding and the linker's empty constructor and destructor
# lists (-1, then 0): bytes 90, cc, ff and 00 alone.
uncovered=$(awk -v ranges="$functions" -v dump="$("$objdump" -s -j .text "$dll")" '
  function hex(s,   i, c, v) { v = 0; s = tolower(s)
    for (i = 1; i <= length(s); i++) { c = index("0123456789abcdef", substr(s, i, 1)) - 1; v = v * 16 + c }
    return v }
  BEGIN {
    n = split(ranges, r, "\n"); last = 0
    for (i = 1; i <= n; i++) { split(r[i], f, " "); lo[i] = hex(f[1]); hi[i] = hex(f[2]); if (hi[i] > last) last = hi[i] }
    lines = split(dump, d, "\n")
    for (l = 1; l <= lines; l++) {
      if (d[l] !~ /^ [0-9a-f]+ /) continue
      split(d[l], w, " "); at = hex(w[1])
      for (g = 2; g <= 5 && w[g] ~ /^[0-9a-f]+$/; g++)
        for (b = 0; b < length(w[g]) / 2; b++) {
          byte = substr(w[g], 2 * b + 1, 2); where = at + (g - 2) * 4 + b
          if (where >= last && byte !~ /^(90|cc|ff|00)$/) { printf "after the last function, byte %s at %x\n", byte, where; exit }
        }
    }
  }
  /^ +[0-9a-f]+:\t/ {
    at = hex(substr($1, 1, length($1) - 1))
    if (at >= last) next
    for (i = 1; i <= n; i++) if (at >= lo[i] && at < hi[i]) next
    text = $0; sub(/^[^\t]*\t[^\t]*\t?/, "", text)
    if (text == "" || text ~ /^(nop|int3|xchg +%ax,%ax|data16|cs nop)/) next
    print
  }' <<<"$code")
if [ -n "$uncovered" ]; then
  fail "code outside any function with unwind data (a thunk, or a function without .pdata):"
  head -5 <<<"$uncovered" >&2
fi

size=$(stat -c %s "$dll")
[ "$size" -le "$max_bytes" ] || fail "is $size bytes, over $max_bytes"

if [ "$failures" -ne 0 ]; then
  echo "$dll: $failures check(s) failed" >&2
  exit 1
fi
echo "$dll: imports, exports, TLS, relocations, unwind data and size ($size bytes) as required"
