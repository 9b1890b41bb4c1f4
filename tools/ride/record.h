// What a ride was: what the ride did, and frame by frame what the stand-in
// world held and which colours the plugin set. The ride tool makes these
// records as it plays; the trace prints each as it is made and the picture
// draws them all afterwards, so the two cannot disagree.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "standins/world/world.h"

// Times are milliseconds from the ride's start.

// A heading of the ride script's.
struct NoteRecord {
  std::uint32_t ms;     // when it stands
  std::string heading;  // its text
};

// A key going down or up.
struct KeyRecord {
  std::uint32_t ms;    // when
  std::uint32_t code;  // Windows virtual-key code
  bool down;           // down, or up
};

// One frame, as the world stood after it.
struct FrameRecord {
  std::uint32_t ms;                         // when it ran; it stands until the next record
  int occupied;                             // the vehicle the player sat in, by number; 0 on foot
  std::uint32_t present;                    // bit n - 1 set: vehicle n exists
  NeonColour neon[StandinMaxVehicles + 1];  // each present vehicle's colour, by number
};

// A colour the plugin set, as the host's record of its native calls shows it.
struct PluginSetRecord {
  std::uint32_t ms;   // the frame's time
  int vehicle;        // by number
  NeonColour colour;  // what it set
  bool switched;      // on the vehicle the player sat in: a switch, not a colour put back
};

// The whole ride. Invariant: every list is in time order.
struct RideRecord {
  std::string title;                  // the ride script's file name
  std::vector<NoteRecord> notes;      // its headings
  std::vector<KeyRecord> keys;        // every key event
  std::vector<FrameRecord> frames;    // the first frame, and each that changed the world
  std::vector<PluginSetRecord> sets;  // every colour the plugin set
  std::uint32_t endMs = 0;            // how long the ride took
};

inline bool sameColour(const NeonColour& a, const NeonColour& b) {
  return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

// Whether vehicle number `vehicle` existed in `frame`.
inline bool present(const FrameRecord& frame, int vehicle) {
  return (frame.present & (1u << (vehicle - 1))) != 0;
}

inline bool isDark(const NeonColour& colour) {
  return colour.red == 0 && colour.green == 0 && colour.blue == 0;
}
