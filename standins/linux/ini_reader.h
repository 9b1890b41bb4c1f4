// The Linux build's stand-in for GetPrivateProfileIntA, split so that the reading
// itself can be fuzzed without files.
//
// It reads INI text as KERNEL32 does (tests/ini_reader holds the table that
// both are checked against):
// - A byte-order mark selects UTF-8, UTF-16LE or UTF-16BE; without one, each
//   byte is a character. Lines end at CR or LF.
// - Blanks are space, tab, CR, LF, VT, FF and Ctrl-Z; a line's are dropped at
//   both ends. A line that starts with '[' and holds a ']' names a section:
//   the text up to the last ']', blanks dropped. Any other line is a key: the
//   text before the first '=' (blanks dropped), with the rest as its value;
//   without '=', a key with no value. No comment syntax: ';' and '#' lines
//   are keys nobody asks for.
// - Lines before the first section belong to an unnamed one. Names match
//   without regard to ASCII letter case, and end at a NUL. Only the first
//   section of the wanted name is searched, and its first such key counts.
// - A value ends at a NUL; a pair of matching quotes around it is dropped,
//   and it is cut to 29 characters (KERNEL32's 30-character buffer).
// - An empty value, a missing key, section or file gives the default.
//   Otherwise the value reads as RtlUnicodeStringToInteger reads it: leading
//   control characters and spaces skipped, one optional '+' or '-', an
//   optional lowercase "0x", "0o" or "0b" for base 16, 8 or 2, then the
//   digits of that base up to the first other character, modulo 2^32.
#pragma once

#include <cstdint>
#include <string_view>

// GetPrivateProfileIntA over the bytes of an INI file held in memory.
std::uint32_t readProfileInt(std::string_view file, const char* section, const char* key,
                             std::int32_t defaultValue);
