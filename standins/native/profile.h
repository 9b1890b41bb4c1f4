// The native stand-in for GetPrivateProfileIntA, split so that its parts can
// be tested and fuzzed without files.
//
// Rules: section and key names match without regard to letter case, as on
// Windows; the first matching key of the first matching section counts; a
// value's surrounding blanks are dropped; then an optional minus sign and the
// decimal digits that follow are read modulo 2^32, stopping at the first
// other character, so "-1" is 0xFFFFFFFF and a value with no digits is 0.
// A missing file, section or key gives the default.
#pragma once

#include <cstdint>

// The integer that the text of a value reads as.
std::uint32_t parseProfileInt(const char* value);

// GetPrivateProfileIntA over INI text held in memory (zero-terminated).
std::uint32_t readProfileIntFromText(const char* text, const char* section, const char* key,
                                     std::int32_t defaultValue);
