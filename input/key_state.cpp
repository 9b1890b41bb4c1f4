#include "input/key_state.h"

#include "host/platform.h"

constinit KeyState keyStateTable[KeyTableSize];

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
