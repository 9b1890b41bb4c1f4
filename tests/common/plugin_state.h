// Puts the plugin's static state back as the module holds it right after
// load, so that Linux tests running many scenarios in one process each start
// as from a fresh load: from the product's own initial values, never from
// values written here, so a changed initial value shows.
#pragma once

#include <array>
#include <cstring>

#include "input/hotkey_settings.h"
#include "input/key_state.h"
#include "neon/neon_switch.h"
#include "neon/script_loop.h"

// A static's bytes, copied during static initialisation, before main and so
// before any test: the plugin's statics are constant-initialised, so they
// already hold their load-time values then.
template <auto& Static>
inline const std::array<unsigned char, sizeof Static> loadTimeBytes = [] {
  std::array<unsigned char, sizeof Static> bytes{};
  std::memcpy(bytes.data(), static_cast<const void*>(&Static), sizeof Static);
  return bytes;
}();

template <auto&... Statics>
void putBackLoadTimeBytes() {
  (std::memcpy(static_cast<void*>(&Statics), loadTimeBytes<Statics>.data(), sizeof Statics), ...);
}

// Every static the plugin keeps, whole, whatever its fields. Call while no
// other thread runs the plugin.
inline void resetPluginState() {
  putBackLoadTimeBytes<keyStateTable, hotkeySettings, neonState, lastSwitchTick>();
}
