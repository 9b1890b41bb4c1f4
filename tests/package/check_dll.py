#!/usr/bin/env python3
"""The shipped DLL is the plugin and nothing else:

- it imports exactly the script host's eight functions, by the decorated
  names the stand-in host exports them under (its .def file, the outside copy
  of the host's names), and KERNEL32's GetTickCount and GetPrivateProfileIntA,
  from no other DLL;
- it exports no names and has no TLS directory (no runtime start-up code);
- it has no base relocations: no absolute address anywhere, so no .refptr
  indirection to its own data;
- every instruction lies in a function with unwind data (.pdata), padding
  aside, so the host can unwind through the plugin's frames, and no jump
  thunk stands between the plugin and its imports; the entry point is the
  start of such a function;
- it is small.

The headers, imports, exports, sections and unwind data are read with
pefile; the instructions between functions with objdump, the one thing
pefile does not do.

Usage: check_dll.py OBJDUMP DLL HOST_DEF
"""
import re
import subprocess
import sys

import pefile

MAX_BYTES = 12288
KERNEL32 = {("KERNEL32.dll", "GetTickCount"), ("KERNEL32.dll", "GetPrivateProfileIntA")}
# What may stand between functions, and after the last one in .text (the
# linker's empty constructor and destructor lists, -1 then 0).
PADDING = re.compile(r"^(nop|int3|xchg +%ax,%ax|data16|cs nop)")
PADDING_BYTES = {0x90, 0xCC, 0xFF, 0x00}


def host_functions(definition):
    """(DLL, name) of each function the host exports under a decorated
    (MSVC C++) name, as the stand-in host's .def file lists them."""
    with open(definition, encoding="ascii") as file:
        text = file.read()
    library = re.search(r'^LIBRARY\s+"([^"]+)"', text, re.MULTILINE).group(1)
    return {(library, name) for name in re.findall(r'^"(\?[^"]+)"\s*=', text, re.MULTILINE)}


def unwound_functions(pe):
    """[begin, end) of every function with unwind data, as RVAs."""
    return [(entry.struct.BeginAddress, entry.struct.EndAddress)
            for entry in getattr(pe, "DIRECTORY_ENTRY_EXCEPTION", [])]


def stray_instructions(objdump, dll, pe, functions):
    """Instructions in .text outside every function that are not padding, and
    bytes after the last function that are not padding either."""
    base = pe.OPTIONAL_HEADER.ImageBase
    last = max(end for _, end in functions)
    strays = []
    code = subprocess.run([objdump, "-d", dll], capture_output=True, text=True, check=True).stdout
    for line in code.splitlines():
        found = re.match(r"^ +([0-9a-f]+):\t[^\t]*\t?(.*)$", line)
        if not found:
            continue
        at = int(found.group(1), 16) - base
        if at >= last or any(begin <= at < end for begin, end in functions):
            continue
        if found.group(2) and not PADDING.match(found.group(2)):
            strays.append(line.strip())
    text = next(section for section in pe.sections if section.Name.rstrip(b"\0") == b".text")
    tail = text.get_data()[last - text.VirtualAddress:text.Misc_VirtualSize]
    strays += [f"byte {byte:02x} at {last + i:x}, after the last function"
               for i, byte in enumerate(tail) if byte not in PADDING_BYTES]
    return strays


def main():
    if len(sys.argv) != 4:
        print("usage: check_dll.py OBJDUMP DLL HOST_DEF", file=sys.stderr)
        return 2
    objdump, dll, definition = sys.argv[1:]
    pe = pefile.PE(dll)
    failures = []

    imports = {(entry.dll.decode(), function.name.decode())
               for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])
               for function in entry.imports if function.name is not None}
    expected = host_functions(definition) | KERNEL32
    if len(expected) != 10:
        failures.append(f"{definition} names {len(expected) - 2} host functions, not eight")
    if imports != expected:
        failures.append("imports differ from the host's eight functions and KERNEL32's two: "
                        f"more {sorted(imports - expected)}, fewer {sorted(expected - imports)}")

    exports = getattr(pe, "DIRECTORY_ENTRY_EXPORT", None)
    if exports is not None and exports.symbols:
        failures.append(f"exports {len(exports.symbols)} names")
    directories = pe.OPTIONAL_HEADER.DATA_DIRECTORY
    tls = directories[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_TLS"]]
    if tls.VirtualAddress or tls.Size:
        failures.append("has a TLS directory")
    relocations = directories[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]]
    if relocations.VirtualAddress or relocations.Size:
        failures.append("has base relocations (absolute addresses)")

    functions = unwound_functions(pe)
    if not functions:
        failures.append("has no unwind data (.pdata)")
    else:
        if pe.OPTIONAL_HEADER.AddressOfEntryPoint not in {begin for begin, _ in functions}:
            failures.append("the entry point is not the start of a function with unwind data")
        strays = stray_instructions(objdump, dll, pe, functions)
        if strays:
            failures.append("code outside any function with unwind data (a thunk, or a function "
                            "without .pdata): " + "; ".join(strays[:5]))

    with open(dll, "rb") as file:
        size = len(file.read())
    if size > MAX_BYTES:
        failures.append(f"is {size} bytes, over {MAX_BYTES}")

    if failures:
        print("\n".join(f"FAIL: {dll} {failure}" for failure in failures), file=sys.stderr)
        return 1
    print(f"{dll}: imports, exports, TLS, relocations, unwind data and size ({size} bytes) as required")
    return 0


if __name__ == "__main__":
    sys.exit(main())
