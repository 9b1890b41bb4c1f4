// The script: follows the player's character into and out of vehicles, one
// pass per game frame, keeping a saved copy of the occupied vehicle's neon
// colour so it can be put back when the player gets out.
//
// Everything here runs on the host's script thread.
#pragma once

#include "host/natives.h"

// What the script knows of the player's vehicle. Invariant between frames:
// previousVehicle == currentVehicle, and while it is non-zero savedColour is
// the colour to put back on it: read on getting in and on every frame in it
// while lightsOn, kept from before the switch while dark.
struct NeonState {
  GameHandle currentVehicle;   // vehicle occupied in this frame; 0 on foot
  GameHandle previousVehicle;  // vehicle occupied at the end of the previous frame
  NeonColour savedColour;      // the neon colour to put back
  bool lightsOn;               // whether the plugin holds the lights to be on
};

// Static storage for the life of the module, kept across restarts of the
// script: a restart in the same vehicle is staying in, not getting in.
extern NeonState neonState;

// The script function handed to the host: reads the hotkey settings, then
// runs one frame per host pass, forever.
void scriptEntry();

// One pass: makes two native calls, one more to read or put back a colour, and
// one more for a switch or for the vehicle left in a move straight from one
// vehicle into another. Allocates nothing.
void runFrame();
