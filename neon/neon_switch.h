// The hotkey switch: while the hotkey is held, turns the occupied vehicle's
// neon lights dark or lights them again with the saved colour, with more than
// SwitchMinIntervalMs between two switches, so a held hotkey makes them blink.
//
// Script thread only.
#pragma once

#include <cstdint>

// A switch needs more than this since the previous one.
inline constexpr std::uint32_t SwitchMinIntervalMs = 300;

// GetTickCount() of the latest switch; 0 until the first one. Never reset, and
// shared by all vehicles: a switch in one delays a switch in the next.
extern std::uint32_t lastSwitchTick;

// Called once at the end of every frame on which the player stays in the same
// vehicle. Switches neonState's lights when the hotkey is held and the spacing
// allows it.
void switchNeon();
