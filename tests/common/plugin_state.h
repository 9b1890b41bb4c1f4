// The plugin's static state as the module holds it right after load, copied
// once before any test runs and put back before each: Linux tests that run
// many scenarios in one process start from the product's own initial values,
// never from values written here, so a changed initial value shows.
#pragma once

#include <atomic>
#include <cstdint>

#include "input/hotkey_settings.h"
#include "input/key_state.h"
#include "neon/neon_switch.h"
#include "neon/script_loop.h"

// A plain copy of every static the plugin keeps.
struct PluginStateCopy {
  struct Key {
    std::uint32_t tick;          // KeyState::tick
    std::int32_t fifthArgument;  // KeyState::fifthArgument
    std::int32_t sixthArgument;  // KeyState::sixthArgument
    std::int32_t released;       // KeyState::released
  } keys[KeyTableSize];          // keyStateTable
  HotkeySettings settings;       // hotkeySettings
  NeonState neon;                // neonState
  std::uint32_t lastSwitchTick;  // lastSwitchTick
};

inline PluginStateCopy copyPluginState() {
  PluginStateCopy copy{};
  for (std::uint32_t key = 0; key < KeyTableSize; ++key) {
    const KeyState& state = keyStateTable[key];
    copy.keys[key] = {state.tick.load(std::memory_order_relaxed),
                      state.fifthArgument.load(std::memory_order_relaxed),
                      state.sixthArgument.load(std::memory_order_relaxed),
                      state.released.load(std::memory_order_relaxed)};
  }
  copy.settings = hotkeySettings;
  copy.neon = neonState;
  copy.lastSwitchTick = lastSwitchTick;
  return copy;
}

// Taken during static initialisation, before main and so before any test:
// the plugin's statics are constant-initialised, so they already hold their
// load-time values then.
inline const PluginStateCopy loadTimePluginState = copyPluginState();

inline void resetPluginState() {
  const PluginStateCopy& initial = loadTimePluginState;
  for (std::uint32_t key = 0; key < KeyTableSize; ++key) {
    KeyState& state = keyStateTable[key];
    state.tick.store(initial.keys[key].tick, std::memory_order_relaxed);
    state.fifthArgument.store(initial.keys[key].fifthArgument, std::memory_order_relaxed);
    state.sixthArgument.store(initial.keys[key].sixthArgument, std::memory_order_relaxed);
    state.released.store(initial.keys[key].released, std::memory_order_relaxed);
  }
  hotkeySettings = initial.settings;
  neonState = initial.neon;
  lastSwitchTick = initial.lastSwitchTick;
}
