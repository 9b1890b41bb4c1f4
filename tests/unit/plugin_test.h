// Shared ground for the unit tests: puts the plugin's static state and the
// stand-ins back to their load-time values before each test (the clock at
// the scenario's start, no settings file), and drives the plugin through its
// inputs: the settings file, key events, the clock and the world.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "input/hotkey_settings.h"
#include "input/key_state.h"
#include "neon/neon_switch.h"
#include "neon/script_loop.h"
#include "standins/linux/standins.h"
#include "tests/common/neon_colour.h"
#include "tests/common/player_facts.h"
#include "tests/common/plugin_state.h"
#include "tests/common/settings_file.h"

inline constexpr GameHandle PlayerHandle = 0x101;

// Timing scenarios run from an ordinary tick and from just below the 32-bit
// wrap, so that every scenario longer than two seconds crosses it.
inline constexpr std::uint32_t OrdinaryStart = 1'000'000;
inline constexpr std::uint32_t BeforeWrapStart = 0xFFFFFFFFu - 2000;

class PluginTest : public ::testing::TestWithParam<std::uint32_t> {
 protected:
  // As the script starts with no settings file: the hotkey is N alone.
  void SetUp() override {
    resetStandins(start());
    resetPluginState();
    recordingHost.world.player = PlayerHandle;
    loadHotkeySettings();
  }

  // The scenario's first tick; tests that are not parameterized run at an
  // ordinary one.
  std::uint32_t start() const {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return info->value_param() != nullptr ? GetParam() : OrdinaryStart;
  }
  // Sets the clock to `ms` after the start, wrapping like the real count.
  void setClock(std::uint32_t ms) { standinClock.now.store(start() + ms); }
  std::uint32_t tickAt(std::uint32_t ms) const { return start() + ms; }

  static void keyDown(std::uint32_t key) { handleKeyEvent(key, 1, 0, 0, 0, 0, 0); }
  static void keyUp(std::uint32_t key) { handleKeyEvent(key, 1, 0, 0, 0, 1, 1); }

  // Quillmere.ini holding this hotkey, read as the script reads it on start.
  static void useHotkey(std::uint32_t mainKey, std::uint32_t modifierKey = Minus1) {
    writeSettingsFile({{IniModifierKey, modifierKey}, {IniMainKey, mainKey}});
    loadHotkeySettings();
  }

  static void vehicle(GameHandle handle, NeonColour neon) {
    ASSERT_NE(worldAddVehicle(recordingHost.world, handle, neon), nullptr);
  }
  static void sitIn(GameHandle handle) { recordingHost.world.occupied = handle; }
  static void onFoot() { recordingHost.world.occupied = 0; }
  static NeonColour& neonOf(GameHandle handle) {
    return worldFindVehicle(recordingHost.world, handle)->neon;
  }
  // The native calls since the last frame() began.
  static const NativeCallRecord& call(int index) { return recordingHost.natives.log[index]; }
  static void clearCalls() { recordingHost.natives.count = 0; }
  static int callCount() { return recordingHost.natives.count; }

  // Runs one frame and returns how many native calls it made.
  static int frame() {
    clearCalls();
    runFrame();
    return callCount();
  }
  // Runs a frame at `ms` and tells whether the lights of the vehicle the
  // player sits in went from lit to dark or back.
  bool frameSwitchesAt(std::uint32_t ms) {
    setClock(ms);
    const GameHandle vehicle = recordingHost.world.occupied;
    const bool darkBefore = vehicle != 0 && neonOf(vehicle) == Dark;
    frame();
    return vehicle != 0 && (neonOf(vehicle) == Dark) != darkBefore;
  }
  // The default hotkey, N alone, struck on a frame at `ms`.
  bool strikeHotkeyAt(std::uint32_t ms) {
    setClock(ms);
    keyDown(DefaultKey);
    const bool switched = frameSwitchesAt(ms);
    keyUp(DefaultKey);
    return switched;
  }
};
