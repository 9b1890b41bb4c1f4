// What both benchmarks share, the Linux build's (bench/linux) and the shipped
// DLL's (bench/shipped_dll): the world their frames run in, how many rounds
// of times they take and how the rounds become one figure, and the target
// the common frame is held to.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "standins/world/world.h"

// The world: one player and two vehicles, the player in BenchCarA, on a
// clock that stands at an ordinary tick, far from the 32-bit wrap.
inline constexpr GameHandle BenchPlayer = 0x11;
inline constexpr GameHandle BenchCarA = 0x21;
inline constexpr GameHandle BenchCarB = 0x22;
inline constexpr NeonColour BenchLime = {50, 205, 50};   // BenchCarA's neon colour
inline constexpr NeonColour BenchAmber = {255, 191, 0};  // BenchCarB's
inline constexpr std::uint32_t BenchStartTick = 50'000'000;

// Times are taken in this many rounds, frame and floor in turn, and the
// median round counts: a moment when the machine is busier weighs on neither.
inline constexpr int BenchRounds = 9;
// The common frame (staying in, lit) may take at most this many times its
// floor, the same native calls with none of the plugin's logic.
inline constexpr double BenchTargetRatio = 1.30;

// The middle value of `values` (the upper middle of an even count); not empty.
inline double benchMedian(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}
