// What both benchmarks share: the world their frames run in.
#pragma once

#include <cstdint>

#include "standins/world/world.h"

// The world: one player and two vehicles, the player in BenchCarA, on a
// clock that stands at an ordinary tick, far from the 32-bit wrap.
inline constexpr GameHandle BenchPlayer = 0x11;
inline constexpr GameHandle BenchCarA = 0x21;
inline constexpr GameHandle BenchCarB = 0x22;
inline constexpr NeonColour BenchLime = {50, 205, 50};   // BenchCarA's neon colour
inline constexpr NeonColour BenchAmber = {255, 191, 0};  // BenchCarB's
inline constexpr std::uint32_t BenchStartTick = 50'000'000;
