// Puts the plugin's static state back as the module holds it right after
// load, for native tests that run many scenarios in one process.
#pragma once

#include <atomic>

#include "input/hotkey_settings.h"
#include "input/key_state.h"
#include "neon/neon_switch.h"
#include "neon/script_loop.h"

inline void resetPluginState() {
  for (KeyState& key : keyStateTable) {
    key.tick.store(0, std::memory_order_relaxed);
    key.fifthArgument.store(0, std::memory_order_relaxed);
    key.sixthArgument.store(0, std::memory_order_relaxed);
    key.released.store(1, std::memory_order_relaxed);
  }
  hotkeySettings = {};
  neonState = {0, 0, {0, 0, 0}, true};
  lastSwitchTick = 0;
}
