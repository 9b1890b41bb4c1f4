// Lets tests compare and print neon colours.
#pragma once

#include <ostream>

#include "host/natives.h"

inline bool operator==(const NeonColour& a, const NeonColour& b) {
  return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

inline void PrintTo(const NeonColour& colour, std::ostream* out) {
  *out << "(" << colour.red << ", " << colour.green << ", " << colour.blue << ")";
}

inline constexpr NeonColour Dark = {0, 0, 0};
