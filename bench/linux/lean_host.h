// The benchmark's world: one player, two vehicles, a clock that stands still.
#pragma once

#include <cstdint>

#include "host/natives.h"

inline constexpr GameHandle BenchPlayer = 0x11;
inline constexpr GameHandle BenchCarA = 0x21;
inline constexpr GameHandle BenchCarB = 0x22;

struct BenchWorld {
  GameHandle occupied;  // the vehicle the player sits in, 0 on foot
  NeonColour colourA;   // BenchCarA's neon colour
  NeonColour colourB;   // BenchCarB's neon colour
  std::uint32_t now;    // what GetTickCount returns
};
extern BenchWorld benchWorld;
