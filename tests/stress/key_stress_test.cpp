// One thread delivers a million keyboard events while another runs frames,
// as the host's keyboard and script threads do. Run under ThreadSanitizer it
// shows the key table is race-free; in every build it shows the table ends
// with every key released and nothing switches after that.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <random>
#include <thread>

#include "standins/linux/standins.h"
#include "tests/common/player_facts.h"
#include "tests/common/plugin_state.h"

namespace {

constexpr GameHandle Player = 0x10;
constexpr GameHandle Car = 0x20;
constexpr std::uint32_t HighestKey = 300;  // beyond the table's 255, on purpose
constexpr int Events = 1'000'000;

int settersIn(const NativeCallLog& natives) {
  int setters = 0;
  for (int i = 0; i < natives.count && i < NativeLogSize; ++i) {
    setters += natives.log[i].hash == GameNatives::NeonColourSetter ? 1 : 0;
  }
  return setters;
}

TEST(KeyStress, AMillionEventsWhileFramesRun) {
  resetStandins(1'000'000);
  resetPluginState();
  recordingHost.world.player = Player;
  worldAddVehicle(recordingHost.world, Car, {10, 20, 30});
  recordingHost.world.occupied = Car;
  loadHotkeySettings();  // no settings file: N alone

  std::atomic<bool> done{false};
  std::thread keyboard([&done] {
    std::mt19937 random(20261207);
    for (int i = 0; i < Events; ++i) {
      const std::uint32_t bits = random();
      const std::uint32_t key = bits % (HighestKey + 1);
      const std::int32_t up = static_cast<std::int32_t>((bits >> 9) & 1);
      handleKeyEvent(key, static_cast<std::uint16_t>(bits >> 16),
                     static_cast<std::uint8_t>(bits >> 24),
                     static_cast<std::int32_t>((bits >> 10) & 1),
                     static_cast<std::int32_t>((bits >> 11) & 1), (bits >> 12) & 1 ? up : 0, up);
    }
    for (std::uint32_t key = 0; key <= HighestKey; ++key) {
      handleKeyEvent(key, 1, 0, 0, 0, 1, 1);
    }
    // Release: the frames thread reads the count only after join anyway.
    done.store(true, std::memory_order_release);
  });

  int frames = 0;
  while (!done.load(std::memory_order_acquire)) {
    standinClock.now.fetch_add(3, std::memory_order_relaxed);
    recordingHost.natives.count = 0;
    runFrame();
    ++frames;
  }
  keyboard.join();
  EXPECT_GT(frames, 0);

  for (std::uint32_t key = 0; key <= HighestKeyCode; ++key) {
    EXPECT_NE(keyStateTable[key].released.load(std::memory_order_relaxed), 0) << "key " << key;
  }
  recordingHost.natives.count = 0;
  for (int frame = 0; frame < 2000; ++frame) {
    standinClock.now.fetch_add(16, std::memory_order_relaxed);
    runFrame();
  }
  EXPECT_EQ(settersIn(recordingHost.natives), 0) << "a switch after every key was released";
}

}  // namespace
