// The four game natives the plugin uses, wrapped as plain calls.
//
// Each wrapper makes exactly one native call and nothing else: the calls sit on
// the per-frame path, so they are inline and push their arguments directly.
// A 32-bit argument is pushed zero-extended; a result is the low 32 bits of the
// host's result slot (whatever the upper 32 bits hold is not ours to read).
// Script thread only, like the native calls themselves.
#pragma once

#include <cstdint>

#include "host/host.h"

// A character or vehicle in the game; 0 names none.
using GameHandle = std::int32_t;

// A vehicle's neon colour, fields in the order both colour natives take them.
// (0, 0, 0) is dark: the lights show nothing.
struct NeonColour {
  std::int32_t red;    // filled by, or pushed to, the natives as is
  std::int32_t green;  // likewise
  std::int32_t blue;   // likewise
};

inline constexpr std::uint64_t PlayerCharacterNative = 0xD80958FC74E988A6;
inline constexpr std::uint64_t OccupiedVehicleNative = 0x9A9112A0FE9A4713;
inline constexpr std::uint64_t NeonColourGetterNative = 0x7619EEE8C886757F;
inline constexpr std::uint64_t NeonColourSetterNative = 0x8E0A582209A62695;

// Pushes a 32-bit integer with the upper 32 bits zero, as the natives expect.
inline void pushInt32(std::int32_t value) { nativePush64(static_cast<std::uint32_t>(value)); }

inline std::uint32_t callForLow32() { return static_cast<std::uint32_t>(*nativeCall()); }

// The local player's character.
inline GameHandle playerCharacter() {
  nativeInit(PlayerCharacterNative);
  return static_cast<GameHandle>(callForLow32());
}

// The vehicle `character` sits in, 0 exactly when it is in none.
inline GameHandle occupiedVehicle(GameHandle character) {
  nativeInit(OccupiedVehicleNative);
  pushInt32(character);
  pushInt32(0);
  return static_cast<GameHandle>(callForLow32());
}

// Has the native write `vehicle`'s neon colour straight into `destination`.
inline void readNeonColour(GameHandle vehicle, NeonColour& destination) {
  nativeInit(NeonColourGetterNative);
  pushInt32(vehicle);
  nativePush64(reinterpret_cast<std::uintptr_t>(&destination.red));
  nativePush64(reinterpret_cast<std::uintptr_t>(&destination.green));
  nativePush64(reinterpret_cast<std::uintptr_t>(&destination.blue));
  nativeCall();
}

// Sets `vehicle`'s neon colour; (0, 0, 0) leaves its lights dark. Returns the
// native's result, which no caller needs.
inline std::uint32_t setNeonColour(GameHandle vehicle, std::int32_t red, std::int32_t green,
                                   std::int32_t blue) {
  nativeInit(NeonColourSetterNative);
  pushInt32(vehicle);
  pushInt32(red);
  pushInt32(green);
  pushInt32(blue);
  return callForLow32();
}
