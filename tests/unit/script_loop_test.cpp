#include <fstream>

#include "plugin_test.h"
#include "tests/common/working_folder.h"

namespace {

constexpr GameHandle CarA = 0x2001;
constexpr GameHandle CarB = 0x2002;
constexpr NeonColour Red = {255, 0, 0};
constexpr NeonColour Teal = {0, 128, 128};
constexpr NeonColour Violet = {143, 0, 255};

using ScriptLoopTest = PluginTest;

TEST_F(ScriptLoopTest, OnFootTheFrameOnlyAsksWhereThePlayerIs) {
  EXPECT_EQ(frame(), 2);
  EXPECT_EQ(call(0).hash, GameNatives::PlayerCharacter);
  EXPECT_EQ(call(0).argCount, 0u);
  EXPECT_EQ(call(1).hash, GameNatives::OccupiedVehicle);
  ASSERT_EQ(call(1).argCount, 2u);
  EXPECT_EQ(call(1).args[0], static_cast<std::uint64_t>(PlayerHandle));
  EXPECT_EQ(call(1).args[1], 0u);
}

TEST_F(ScriptLoopTest, GettingInReadsTheColourStraightIntoTheSavedColour) {
  vehicle(CarA, Red);
  sitIn(CarA);
  neonState.lightsOn = false;
  EXPECT_EQ(frame(), 3);
  const NativeCallRecord& read = call(2);
  EXPECT_EQ(read.hash, GameNatives::NeonColourGetter);
  ASSERT_EQ(read.argCount, 4u);
  EXPECT_EQ(read.args[0], static_cast<std::uint64_t>(CarA));
  EXPECT_EQ(read.args[1], reinterpret_cast<std::uintptr_t>(&neonState.savedColour.red));
  EXPECT_EQ(read.args[2], reinterpret_cast<std::uintptr_t>(&neonState.savedColour.green));
  EXPECT_EQ(read.args[3], reinterpret_cast<std::uintptr_t>(&neonState.savedColour.blue));
  EXPECT_EQ(neonState.savedColour, Red);
  EXPECT_TRUE(neonState.lightsOn);
  EXPECT_EQ(neonState.previousVehicle, CarA);
}

TEST_F(ScriptLoopTest, StayingInWhileLitFollowsColourChangesMadeElsewhere) {
  vehicle(CarA, Red);
  sitIn(CarA);
  frame();
  neonOf(CarA) = Teal;  // something else repaints the neon
  EXPECT_EQ(frame(), 3);
  EXPECT_EQ(neonState.savedColour, Teal);
}

TEST_F(ScriptLoopTest, StayingInWhileDarkKeepsTheColourFromBeforeTheSwitch) {
  vehicle(CarA, Red);
  sitIn(CarA);
  frame();
  neonState.lightsOn = false;
  neonOf(CarA) = Dark;
  EXPECT_EQ(frame(), 2);
  EXPECT_EQ(neonState.savedColour, Red);
}

TEST_F(ScriptLoopTest, GettingOutPutsTheSavedColourBackLitOrDark) {
  for (bool lit : {true, false}) {
    SetUp();
    vehicle(CarA, Violet);
    sitIn(CarA);
    frame();
    frame();
    if (!lit) {
      neonState.lightsOn = false;
      neonOf(CarA) = Dark;
    }
    onFoot();
    EXPECT_EQ(frame(), 3) << "lit " << lit;
    const NativeCallRecord& set = call(2);
    EXPECT_EQ(set.hash, GameNatives::NeonColourSetter);
    ASSERT_EQ(set.argCount, 4u);
    EXPECT_EQ(set.args[0], static_cast<std::uint64_t>(CarA));
    EXPECT_EQ(neonOf(CarA), Violet) << "lit " << lit;
    EXPECT_EQ(neonState.lightsOn, lit) << "getting out leaves lightsOn alone";
    EXPECT_EQ(frame(), 2) << "the next frame on foot does nothing";
  }
}

TEST_F(ScriptLoopTest, TheFirstFrameInAVehicleIsGettingInEvenAfterAStartInIt) {
  vehicle(CarA, Teal);
  sitIn(CarA);
  recordingHost.scriptWaitLimit = 1;
  EXPECT_THROW(scriptEntry(), StandinScriptStopped);
  EXPECT_EQ(callCount(), 3);
  EXPECT_EQ(neonState.savedColour, Teal);
  EXPECT_EQ(hotkeySettings.mainKey, 78u) << "settings are read before the first frame";
}

TEST_F(ScriptLoopTest, SettingsAreReadOncePerStartOfTheScript) {
  WorkingFolder folder;
  std::ofstream("Quillmere.ini") << "[keys]\nquillmere=76\n";
  recordingHost.scriptWaitLimit = 50;
  EXPECT_THROW(scriptEntry(), StandinScriptStopped);
  EXPECT_EQ(standinProfile.calls.load(), 2u) << "both keys once, not on every frame";
  EXPECT_EQ(hotkeySettings.mainKey, 76u);

  std::ofstream("Quillmere.ini") << "[keys]\nquillmere=75\n";
  recordingHost.scriptWaitCalls = 0;
  EXPECT_THROW(scriptEntry(), StandinScriptStopped);  // the host starts it again
  EXPECT_EQ(standinProfile.calls.load(), 4u);
  EXPECT_EQ(hotkeySettings.mainKey, 75u);
}

TEST_F(ScriptLoopTest, ARestartInTheSameVehicleIsStayingIn) {
  vehicle(CarA, Teal);
  sitIn(CarA);
  recordingHost.scriptWaitLimit = 2;
  EXPECT_THROW(scriptEntry(), StandinScriptStopped);
  neonState.lightsOn = false;  // switched dark before the restart
  recordingHost.scriptWaitCalls = 0;
  clearCalls();
  EXPECT_THROW(scriptEntry(), StandinScriptStopped);
  EXPECT_FALSE(neonState.lightsOn) << "a restart must not count as getting in";
  for (int i = 0; i < callCount(); ++i) {
    EXPECT_NE(call(i).hash, GameNatives::NeonColourGetter);
  }
}

// A move from one vehicle straight into another is getting out of the first
// (its colour goes back on) and getting into the second, on one frame.
TEST_F(ScriptLoopTest, MovingStraightIntoAnotherVehicleRestoresTheFirstAndReadsTheSecond) {
  for (bool lit : {true, false}) {
    SetUp();
    vehicle(CarA, Red);
    vehicle(CarB, Teal);
    sitIn(CarA);
    frame();
    if (!lit) {
      neonState.lightsOn = false;
      neonOf(CarA) = Dark;
    }
    sitIn(CarB);
    EXPECT_EQ(frame(), 4) << "lit " << lit;
    EXPECT_EQ(call(2).hash, GameNatives::NeonColourSetter);
    EXPECT_EQ(call(2).args[0], static_cast<std::uint64_t>(CarA));
    EXPECT_EQ(call(3).hash, GameNatives::NeonColourGetter);
    EXPECT_EQ(call(3).args[0], static_cast<std::uint64_t>(CarB));
    EXPECT_EQ(neonOf(CarA), Red) << "lit " << lit;
    EXPECT_EQ(neonState.savedColour, Teal) << "lit " << lit;
    EXPECT_TRUE(neonState.lightsOn);
    EXPECT_EQ(neonState.previousVehicle, CarB);

    onFoot();
    frame();
    EXPECT_EQ(neonOf(CarB), Teal) << "lit " << lit;
  }
}

TEST_F(ScriptLoopTest, OnlyTheLow32BitsOfEachResultCount) {
  vehicle(CarA, Red);
  recordingHost.world.resultUpperBits = 0xDEADBEEF;
  frame();
  EXPECT_EQ(neonState.currentVehicle, 0) << "garbage above an on-foot 0 is still on foot";
  sitIn(CarA);
  frame();
  EXPECT_EQ(neonState.currentVehicle, CarA);
  EXPECT_EQ(call(2).args[0], static_cast<std::uint64_t>(CarA))
      << "a handle goes back pushed with the upper 32 bits zero";
}

TEST_F(ScriptLoopTest, ColourComponentsGoBackAsReadWithTheUpperBitsZero) {
  const NeonColour odd = {-1, 0x7FFFFFFF, static_cast<std::int32_t>(0x80000000u)};
  vehicle(-5, odd);
  sitIn(-5);
  frame();
  onFoot();
  frame();
  const NativeCallRecord& set = call(2);
  EXPECT_EQ(set.args[0], 0xFFFFFFFBu);
  EXPECT_EQ(set.args[1], 0xFFFFFFFFu);
  EXPECT_EQ(set.args[2], 0x7FFFFFFFu);
  EXPECT_EQ(set.args[3], 0x80000000u);
}

TEST_F(ScriptLoopTest, AVehicleThatReadsDarkOnGettingInStaysDarkWhenSwitchedOn) {
  useHotkey(KeyN);
  noRecentSwitch();
  vehicle(CarA, Dark);
  sitIn(CarA);
  frame();
  keyDown(KeyN);
  frame();  // switch off
  EXPECT_FALSE(neonState.lightsOn);
  setClock(301);
  frame();  // switch on, to the saved dark colour
  EXPECT_TRUE(neonState.lightsOn);
  EXPECT_EQ(neonOf(CarA), Dark);
}

}  // namespace
