#include "host/platform.h"
#include "standins/linux/standins.h"

StandinClock standinClock;

extern "C" std::uint32_t GetTickCount() {
  // Relaxed: tests set the clock before they drive the plugin; the count
  // only has to be exact once the threads that call it have been joined.
  standinClock.calls.fetch_add(1, std::memory_order_relaxed);
  return standinClock.now.load(std::memory_order_relaxed);
}
