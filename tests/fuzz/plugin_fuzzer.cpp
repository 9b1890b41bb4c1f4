// The plugin fed what it takes, in any amount and order: the settings file's
// two values (either missing), keyboard events of any key code and flags,
// the clock moving by any step (across the 32-bit wrap too), and the player
// getting in, out and from one vehicle into another, a frame after each.
// Whatever it is fed, nothing crashes (AddressSanitizer and
// UndefinedBehaviorSanitizer watch), every frame makes two to four native
// calls, and a hotkey with a key outside the key table never switches.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "standins/linux/standins.h"
#include "tests/common/plugin_state.h"
#include "tests/common/settings_file.h"

namespace {
constexpr GameHandle Player = 0x10;
constexpr GameHandle Vehicles[] = {0, 0x21, 0x22};  // on foot, and two vehicles

void fail(const char* what, std::uint32_t mainKey, std::uint32_t modifierKey) {
  std::fprintf(stderr, "%s (main key %u, modifier %u)\n", what, mainKey, modifierKey);
  std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  resetStandins(input.ConsumeIntegral<std::uint32_t>());
  resetPluginState();
  recordingHost.world.player = Player;
  worldAddVehicle(recordingHost.world, Vehicles[1], {255, 0, 128});
  worldAddVehicle(recordingHost.world, Vehicles[2], {0, 200, 255});

  const bool hasModifier = input.ConsumeBool();
  const bool hasMain = input.ConsumeBool();
  const std::uint32_t modifierValue = input.ConsumeIntegral<std::uint32_t>();
  const std::uint32_t mainValue = input.ConsumeIntegral<std::uint32_t>();
  // A key left out is one under another name.
  writeSettingsFile({{hasModifier ? IniModifierKey : "other", modifierValue},
                     {hasMain ? IniMainKey : "other", mainValue}});
  const std::uint32_t modifierKey = hasModifier ? modifierValue : Minus1;
  const std::uint32_t mainKey = hasMain ? mainValue : DefaultKey;
  recordingHost.scriptWaitLimit = 1;
  try {
    scriptEntry();  // reads the settings, runs a frame, and stops at its wait
  } catch (const StandinScriptStopped&) {
  }
  const bool neverFires =
      mainKey > HighestKeyCode || (modifierKey != Minus1 && modifierKey > HighestKeyCode);

  GameHandle previous = 0;
  while (input.remaining_bytes() > 0) {
    switch (input.ConsumeIntegralInRange(0, 3)) {
      case 0: {
        const std::uint32_t key = input.ConsumeBool()   ? mainKey
                                  : input.ConsumeBool() ? modifierKey
                                                        : input.ConsumeIntegral<std::uint32_t>();
        handleKeyEvent(key, input.ConsumeIntegral<std::uint16_t>(),
                       input.ConsumeIntegral<std::uint8_t>(), input.ConsumeIntegral<std::int32_t>(),
                       input.ConsumeIntegral<std::int32_t>(), input.ConsumeIntegral<std::int32_t>(),
                       input.ConsumeIntegral<std::int32_t>());
        break;
      }
      case 1:
        standinClock.now.fetch_add(input.ConsumeIntegral<std::uint32_t>(),
                                   std::memory_order_relaxed);
        break;
      case 2:
        recordingHost.world.occupied = Vehicles[input.ConsumeIntegralInRange(0, 2)];
        break;
      default: {
        const GameHandle current = recordingHost.world.occupied;
        recordingHost.natives.count = 0;
        runFrame();
        const int calls = recordingHost.natives.count;
        if (calls < 2 || calls > 4) {
          fail("a frame made fewer than two or more than four native calls", mainKey, modifierKey);
        }
        const bool set = recordingHost.natives.log[calls - 1].hash == GameNatives::NeonColourSetter;
        if (neverFires && set && current != 0 && current == previous) {
          fail("a hotkey with a key outside the key table switched", mainKey, modifierKey);
        }
        previous = current;
      }
    }
  }
  return 0;
}
