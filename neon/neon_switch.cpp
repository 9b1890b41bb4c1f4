#include "neon/neon_switch.h"

#include "host/platform.h"
#include "input/hotkey_settings.h"
#include "input/key_state.h"
#include "neon/script_loop.h"

constinit std::uint32_t lastSwitchTick = 0;

// Out of line and cold: a switch comes a few times a ride, while the test
// before it runs on every frame in a vehicle and should stay lean.
[[gnu::cold, gnu::noinline]] static void switchLights() {
  NeonState& state = neonState;
  if (state.lightsOn) {
    setNeonColour(state.currentVehicle, 0, 0, 0);
    state.lightsOn = false;
  } else {
    const NeonColour& colour = state.savedColour;
    setNeonColour(state.currentVehicle, colour.red, colour.green, colour.blue);
    state.lightsOn = true;
  }
}

void switchNeon() {
  const HotkeySettings& settings = hotkeySettings;
  // Held keys, not fresh presses: the two may go down in either order.
  if (!settings.noModifier && !isKeyHeld(settings.modifierKey)) {
    return;
  }
  if (!isKeyHeld(settings.mainKey)) {
    return;
  }
  if (GetTickCount() - lastSwitchTick <= SwitchMinIntervalMs) {
    return;
  }
  lastSwitchTick = GetTickCount();
  switchLights();
}
