#include "neon/script_loop.h"

#include "input/hotkey_settings.h"
#include "neon/neon_switch.h"

constinit NeonState neonState = {0, 0, {0, 0, 0}, true};

void scriptEntry() {
  loadHotkeySettings();
  for (;;) {
    runFrame();
    scriptWait(0);
  }
}

// Getting in and out come a few times a ride; out of line, they leave the
// every-frame path, staying in, without their register spills.
[[gnu::cold, gnu::noinline]] static void putSavedColourBack(GameHandle vehicle) {
  const NeonColour& colour = neonState.savedColour;
  setNeonColour(vehicle, colour.red, colour.green, colour.blue);
}

[[gnu::cold, gnu::noinline]] static void getIn(GameHandle vehicle) {
  neonState.lightsOn = true;
  readNeonColour(vehicle, neonState.savedColour);
}

void runFrame() {
  NeonState& state = neonState;
  const GameHandle character = playerCharacter();
  state.currentVehicle = occupiedVehicle(character);

  if (state.currentVehicle == 0) {
    if (state.previousVehicle != 0) {
      // Got out: whether the lights are lit or dark, the vehicle left gets its
      // own colour back, and lightsOn waits for the next getting in.
      putSavedColourBack(state.previousVehicle);
    }
  } else if (state.previousVehicle == 0) {
    getIn(state.currentVehicle);
  } else if (state.previousVehicle != state.currentVehicle) {
    // Moved straight from one vehicle into another: got out of the first and
    // into the second on this one frame. Otherwise a dark first vehicle would
    // stay dark for good and the second would later get the first's colour.
    putSavedColourBack(state.previousVehicle);
    getIn(state.currentVehicle);
  } else {
    if (state.lightsOn) {
      // Lit: keep up with colour changes made by anything else.
      readNeonColour(state.currentVehicle, state.savedColour);
    }
    switchNeon();
  }

  state.previousVehicle = state.currentVehicle;
}
