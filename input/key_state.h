// The key state table: the latest keyboard event of each key, and the test of
// whether a key is held.
//
// Threads: handleKeyEvent is the table's one writer and runs on the host's
// keyboard thread; isKeyHeld is its one reader and runs on the script thread.
// No lock is taken. Each field is a 32-bit atomic loaded and stored on its own
// with relaxed order: no field's value is used to decide what another field
// means, so nothing needs ordering between them, and a record read while its
// event is being stored mixes the old and the new event for one frame at most.
#pragma once

#include <atomic>
#include <cstdint>

#include "host/platform.h"

// Key codes 0 to 254 have a record; 255 and above never count as held.
inline constexpr std::uint32_t KeyTableSize = 255;
// A key with no release event stops counting as held this long after its
// latest event, so a release the host never delivered cannot hold it forever.
// Auto-repeat events renew it while the key is really down.
inline constexpr std::uint32_t KeyHoldWindowMs = 5000;

// One key's latest event. Invariant: the fields belong to one event each, but
// not necessarily to the same event while handleKeyEvent is mid-store.
struct KeyState {
  std::atomic<std::uint32_t> tick;          // GetTickCount() when the event arrived
  std::atomic<std::int32_t> fifthArgument;  // the handler's fifth argument, as delivered
  std::atomic<std::int32_t> sixthArgument;  // the handler's sixth argument, as delivered
  // The handler's seventh argument: non-zero when the event was the key going
  // up. Starts at 1 so a key that never had an event is not held.
  std::atomic<std::int32_t> released{1};
};

static_assert(std::atomic<std::uint32_t>::is_always_lock_free);
static_assert(std::atomic<std::int32_t>::is_always_lock_free);

// Indexed by key code. Static storage for the life of the module; every
// record starts released.
extern KeyState keyStateTable[KeyTableSize];

// The keyboard handler given to the host: records the event of `key` (press,
// auto-repeat and release alike). Keys 255 and above are ignored. The repeat
// count, the scan code and the fourth argument are not kept.
void handleKeyEvent(std::uint32_t key, std::uint16_t repeats, std::uint8_t scanCode,
                    std::int32_t fourthArgument, std::int32_t fifthArgument,
                    std::int32_t sixthArgument, std::int32_t isUpNow);

// True when `key`'s latest event was not a release and arrived less than
// KeyHoldWindowMs ago (an unsigned 32-bit difference, so the tick count's
// wrap changes nothing). False for keys 255 and above. Inline: the script
// asks on every frame in a vehicle.
inline bool isKeyHeld(std::uint32_t key) {
  if (key >= KeyTableSize) {
    return false;
  }
  const KeyState& state = keyStateTable[key];
  // The record is read before the clock: an event that lands between the two
  // reads then looks 0 ms old, where the other order would make it look
  // almost 2^32 ms old and drop a fresh press for a frame. A released key
  // needs no clock at all, which spares the common frame the call.
  if (state.released.load(std::memory_order_relaxed) != 0) {
    return false;
  }
  const std::uint32_t tick = state.tick.load(std::memory_order_relaxed);
  return GetTickCount() - tick < KeyHoldWindowMs;
}
