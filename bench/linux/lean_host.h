// The benchmark's host: the least a real host must do, and the world it
// answers from, one player and two vehicles, with a clock that stands still.
#pragma once

#include <cstdint>

#include "bench/common/bench_facts.h"
#include "standins/world/world.h"

struct LeanHost {
  StandinWorld world;  // what the natives answer from
  std::uint32_t now;   // what GetTickCount returns
};
extern LeanHost leanHost;

// Sets the world up: the player, BenchCarA in `colourA` and BenchCarB in
// `colourB`, the player in `occupied` (0: on foot), the clock at `now`.
void leanHostSetWorld(GameHandle occupied, NeonColour colourA, NeonColour colourB,
                      std::uint32_t now);
