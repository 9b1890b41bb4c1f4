// The four natives of the game that the stand-in world answers, by the
// numbers the game gives them.
//
// Written out here, never taken from the plugin's host/natives.h: these are
// the game's side of the contract, so a wrong digit in the plugin makes the
// stand-in answer a native it does not know (with 0, filling nothing), and
// the tests that drive the plugin through a stand-in fail.
#pragma once

#include <cstdint>

namespace GameNatives {
// () -> the local player's character
inline constexpr std::uint64_t PlayerCharacter = 0xD80958FC74E988A6;
// (character, 0) -> the vehicle the character sits in, 0 for none
inline constexpr std::uint64_t OccupiedVehicle = 0x9A9112A0FE9A4713;
// (vehicle, &red, &green, &blue): writes the vehicle's neon colour through the pointers
inline constexpr std::uint64_t NeonColourGetter = 0x7619EEE8C886757F;
// (vehicle, red, green, blue): sets the vehicle's neon colour
inline constexpr std::uint64_t NeonColourSetter = 0x8E0A582209A62695;
}  // namespace GameNatives
