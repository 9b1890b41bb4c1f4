#include "input/key_state.h"

#include "host/platform.h"

KeyState keyStateTable[KeyTableSize];

void handleKeyEvent(std::uint32_t key, std::uint16_t /*repeats*/, std::uint8_t /*scanCode*/,
                    std::int32_t /*fourthArgument*/, std::int32_t fifthArgument,
                    std::int32_t sixthArgument, std::int32_t isUpNow) {
  if (key >= KeyTableSize) {
    return;
  }
  KeyState& state = keyStateTable[key];
  // Relaxed: the reader needs each field whole, not in any order (see the header).
  state.tick.store(GetTickCount(), std::memory_order_relaxed);
  state.fifthArgument.store(fifthArgument, std::memory_order_relaxed);
  state.sixthArgument.store(sixthArgument, std::memory_order_relaxed);
  state.released.store(isUpNow, std::memory_order_relaxed);
}

bool isKeyHeld(std::uint32_t key) {
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
