#!/usr/bin/env python3
"""Every key code the shipped Quillmere.ini gives a player, checked against
the VK_ values of MinGW-w64's winuser.h, as its compiler sees them.

Letters and digits have no VK_ name: Windows gives them their ASCII codes,
as winuser.h says. The key-code table must name every letter, digit and F
key and the keys players often pick; the default, the Ctrl+L example, and
the codes the comments name in passing (the left and right modifiers and
what they come as, the number pad's, the hexadecimal example) are checked
too.

Usage: check_key_codes.py MINGW_CXX QUILLMERE_INI
"""
import re
import subprocess
import sys

# The table's names for keys, and the names Windows gives them.
VK_NAMES = {"Shift": "VK_SHIFT", "Ctrl": "VK_CONTROL", "Alt": "VK_MENU",
            "Caps Lock": "VK_CAPITAL", "Insert": "VK_INSERT", "Delete": "VK_DELETE",
            "Home": "VK_HOME", "End": "VK_END", "Page Up": "VK_PRIOR", "Page Down": "VK_NEXT",
            "Num *": "VK_MULTIPLY", "Num +": "VK_ADD", "Num -": "VK_SUBTRACT",
            "Num .": "VK_DECIMAL", "Num /": "VK_DIVIDE"}
VK_NAMES.update({f"Num {d}": f"VK_NUMPAD{d}" for d in range(10)})
VK_NAMES.update({f"F{n}": f"VK_F{n}" for n in range(1, 25)})
# What the table must hold: every key above but F13 to F24, which keyboards
# lack, and every letter and digit.
REQUIRED = ([name for name in VK_NAMES if not re.fullmatch(r"F(1[3-9]|2\d)", name)] +
            [chr(c) for c in range(ord("A"), ord("Z") + 1)] + [str(d) for d in range(10)])


def vk_values(compiler):
    defined = subprocess.run([compiler, "-x", "c++", "-E", "-dM", "-"],
                             input="#include <windows.h>\n", capture_output=True, text=True,
                             check=True).stdout
    return {name: int(value, 0) for name, value in
            re.findall(r"^#define (VK_\w+) (0x[0-9A-Fa-f]+|\d+)\s*$", defined, re.MULTILINE)}


def code_of(name, vk):
    if re.fullmatch(r"[A-Z0-9]", name):
        return ord(name)  # winuser.h: "VK_0 - VK_9 are the same as ASCII '0' - '9'", A-Z alike
    if name not in VK_NAMES or VK_NAMES[name] not in vk:
        raise KeyError(f"no Windows key named {name!r}")
    return vk[VK_NAMES[name]]


def table(lines):
    """(code, name) of every entry of the key-code table."""
    start = next(i for i, line in enumerate(lines) if line.startswith("; Key codes."))
    entries = []
    for line in lines[start + 1:]:
        if not re.match(r";   ", line):
            break
        content = re.sub(r"^;\s+(?:[A-Z][A-Za-z ]*:)?\s*", "", line)
        for entry in re.split(r"\s{2,}", content.strip()):
            found = re.fullmatch(r"(\d+) (\S+(?: \S+)?)", entry)
            if not found:
                raise SystemExit(f"FAIL: not a key code and a name: {entry!r} in {line!r}")
            entries.append((int(found.group(1)), found.group(2)))
    return entries


def main():
    compiler, ini = sys.argv[1], sys.argv[2]
    vk = vk_values(compiler)
    with open(ini, encoding="ascii") as file:
        text = file.read().replace("\r\n", "\n")
    lines = text.split("\n")
    failures = []

    def expect(code, name, where):
        try:
            if code != code_of(name, vk):
                failures.append(f"{where}: {code} for {name}, which Windows codes {code_of(name, vk)}")
        except KeyError as error:
            failures.append(f"{where}: {error}")

    entries = table(lines)
    for code, name in entries:
        expect(code, name, "the table")
    missing = sorted(set(REQUIRED) - {name for _, name in entries})
    if missing:
        failures.append("the table lacks " + ", ".join(missing))

    def find(pattern, what):
        found = re.search(pattern, text)
        if not found:
            raise SystemExit(f"FAIL {ini}: cannot find {what}")
        return found

    default = find(r"Default: (\d+), the (\S) key\.", "the default main key")
    expect(int(default.group(1)), default.group(2), "the default")
    if not re.search(rf"^quillmere={default.group(1)}$", text, re.MULTILINE):
        failures.append("the [keys] section does not hold the default main key")
    example = find(r"Example: for (\w+)\+(\w+), .*\n;\s+quillmere_modifier=(\d+)\n"
                   r";\s+quillmere=(\d+)\n", "the example on two lines")
    expect(int(example.group(3)), example.group(1), "the example's modifier")
    expect(int(example.group(4)), example.group(2), "the example's main key")
    modifiers = find(r"For Shift, Ctrl and Alt use (\d+), (\d+) and (\d+)[.,]", "the modifiers' line")
    for value, name in zip(modifiers.groups(), ("Shift", "Ctrl", "Alt")):
        expect(int(value), name, "the modifiers' line")

    # The facts the comments give in running text, read with their lines joined.
    prose = " ".join(line.lstrip(";").strip() for line in lines if line.startswith(";"))

    def said(pattern, what):
        found = re.search(pattern, prose)
        if not found:
            raise SystemExit(f"FAIL {ini}: cannot find {what}")
        return [int(number, 0) for number in found.groups()]

    first, last, *reported = said(r"left and right keys \((\d+) to (\d+)\) as (\d+), (\d+) and (\d+)",
                                  "the left and right keys' codes")
    if (first, last) != (vk["VK_LSHIFT"], vk["VK_RMENU"]):
        failures.append(f"the left and right keys are {vk['VK_LSHIFT']} to {vk['VK_RMENU']}")
    if reported != [vk["VK_SHIFT"], vk["VK_CONTROL"], vk["VK_MENU"]]:
        failures.append(f"the left and right keys come as Shift, Ctrl and Alt, not {reported}")
    first, last, point = said(r"number pad's digits and point \((\d+) to (\d+), (\d+)\)",
                              "the number pad's codes")
    if (first, last, point) != (vk["VK_NUMPAD0"], vk["VK_NUMPAD9"], vk["VK_DECIMAL"]):
        failures.append(f"the number pad's digits and point are {vk['VK_NUMPAD0']} to "
                        f"{vk['VK_NUMPAD9']} and {vk['VK_DECIMAL']}")
    hexadecimal, decimal = said(r"its (0x[0-9A-Fa-f]+) is (\d+) here", "the hexadecimal example")
    if hexadecimal != decimal:
        failures.append(f"{hex(hexadecimal)} is {hexadecimal}, not {decimal}")
    expect(decimal, "N", "the hexadecimal example")  # the default key, as Microsoft's list writes it

    if failures:
        print("\n".join(f"FAIL {ini}: {failure}" for failure in failures))
        return 1
    print(f"{ini}: all {len(entries)} key codes of its table, its default and its example "
          "as winuser.h defines them")
    return 0


if __name__ == "__main__":
    sys.exit(main())
