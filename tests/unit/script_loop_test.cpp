#include "plugin_test.h"

namespace {

constexpr GameHandle CarA = 0x2001;
constexpr GameHandle CarB = 0x2002;
constexpr NeonColour Red = {255, 0, 0};
constexpr NeonColour Teal = {0, 128, 128};
constexpr NeonColour Violet = {143, 0, 255};  // three different components

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

TEST_F(ScriptLoopTest, GettingInReadsTheColourToPutBack) {
  vehicle(CarA, Violet);
  sitIn(CarA);
  EXPECT_EQ(frame(), 3);
  const NativeCallRecord& read = call(2);
  EXPECT_EQ(read.hash, GameNatives::NeonColourGetter);
  ASSERT_EQ(read.argCount, 4u);
  EXPECT_EQ(read.args[0], static_cast<std::uint64_t>(CarA));
  neonOf(CarA) = Teal;  // repainted by something else after the frame
  onFoot();
  frame();
  EXPECT_EQ(neonOf(CarA), Violet) << "the colour read on getting in goes back on";
}

TEST_F(ScriptLoopTest, StayingInWhileLitFollowsColourChangesMadeElsewhere) {
  vehicle(CarA, Red);
  sitIn(CarA);
  frame();
  neonOf(CarA) = Teal;  // something else repaints the neon
  EXPECT_EQ(frame(), 3) << "lit: the colour read again";
  neonOf(CarA) = Violet;  // after the last frame in: not seen
  onFoot();
  frame();
  EXPECT_EQ(neonOf(CarA), Teal);
}

TEST_F(ScriptLoopTest, StayingInWhileDarkKeepsTheColourFromBeforeTheSwitch) {
  vehicle(CarA, Red);
  sitIn(CarA);
  frame();
  EXPECT_TRUE(strikeHotkeyAt(1));  // dark
  neonOf(CarA) = Teal;             // repainted while dark
  EXPECT_EQ(frame(), 2) << "dark: no colour read";
  strikeHotkeyAt(SwitchSpacingMs + 2);
  EXPECT_EQ(neonOf(CarA), Red) << "lit again in the colour from before the switch";
}

TEST_F(ScriptLoopTest, GettingOutPutsTheSavedColourBackLitOrDark) {
  for (bool lit : {true, false}) {
    SetUp();
    vehicle(CarA, Violet);
    sitIn(CarA);
    frame();
    frame();
    if (!lit) {
      EXPECT_TRUE(strikeHotkeyAt(1));
    }
    onFoot();
    EXPECT_EQ(frame(), 3) << "lit " << lit;
    const NativeCallRecord& set = call(2);
    EXPECT_EQ(set.hash, GameNatives::NeonColourSetter);
    ASSERT_EQ(set.argCount, 4u);
    EXPECT_EQ(set.args[0], static_cast<std::uint64_t>(CarA));
    EXPECT_EQ(neonOf(CarA), Violet) << "lit " << lit;
    EXPECT_EQ(frame(), 2) << "the next frame on foot does nothing";
  }
}

TEST_F(ScriptLoopTest, TheFirstFrameInAVehicleIsGettingInEvenAfterAStartInIt) {
  writeSettingsFile({{IniMainKey, KeyL}});
  vehicle(CarA, Teal);
  sitIn(CarA);
  keyDown(KeyL);
  recordingHost.scriptWaitLimit = 1;
  EXPECT_THROW(scriptEntry(), StandinScriptStopped);
  EXPECT_EQ(callCount(), 3) << "getting in: the colour read, no switch";
  EXPECT_TRUE(frameSwitchesAt(1)) << "the file's hotkey, read on start, switches on the next frame";
}

// Each start reads the file, so a changed file counts from the next start;
// frames never read it.
TEST_F(ScriptLoopTest, SettingsAreReadOnEachStartOfTheScriptAndOnNoFrame) {
  recordingHost.scriptWaitLimit = 1;
  const std::uint32_t before = standinSettings.calls;
  EXPECT_THROW(scriptEntry(), StandinScriptStopped);
  const std::uint32_t perStart = standinSettings.calls - before;
  EXPECT_GT(perStart, 0u);
  recordingHost.scriptWaitCalls = 0;
  recordingHost.scriptWaitLimit = 50;
  EXPECT_THROW(scriptEntry(), StandinScriptStopped);  // the host starts it again
  EXPECT_EQ(standinSettings.calls - before, 2 * perStart) << "read again on one of its 50 frames";
}

TEST_F(ScriptLoopTest, ARestartInTheSameVehicleIsStayingIn) {
  vehicle(CarA, Teal);
  sitIn(CarA);
  recordingHost.scriptWaitLimit = 2;
  EXPECT_THROW(scriptEntry(), StandinScriptStopped);
  EXPECT_TRUE(strikeHotkeyAt(1));  // dark before the restart
  recordingHost.scriptWaitCalls = 0;
  clearCalls();
  EXPECT_THROW(scriptEntry(), StandinScriptStopped);
  for (int i = 0; i < callCount(); ++i) {
    EXPECT_NE(call(i).hash, GameNatives::NeonColourGetter) << "a restart counted as getting in";
  }
  EXPECT_TRUE(strikeHotkeyAt(SwitchSpacingMs + 2));
  EXPECT_EQ(neonOf(CarA), Teal) << "lit again in the colour from before the restart";
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
      EXPECT_TRUE(strikeHotkeyAt(1));
    }
    sitIn(CarB);
    EXPECT_EQ(frame(), 4) << "lit " << lit;
    EXPECT_EQ(call(2).hash, GameNatives::NeonColourSetter);
    EXPECT_EQ(call(2).args[0], static_cast<std::uint64_t>(CarA));
    EXPECT_EQ(call(3).hash, GameNatives::NeonColourGetter);
    EXPECT_EQ(call(3).args[0], static_cast<std::uint64_t>(CarB));
    EXPECT_EQ(neonOf(CarA), Red) << "lit " << lit;
    EXPECT_EQ(frame(), 3) << "lit " << lit << ": then staying in B, lit, its colour read";
    neonOf(CarB) = Violet;  // after the last frame in: not seen
    onFoot();
    frame();
    EXPECT_EQ(neonOf(CarB), Teal) << "lit " << lit;
  }
}

TEST_F(ScriptLoopTest, OnlyTheLow32BitsOfEachResultCount) {
  vehicle(CarA, Red);
  recordingHost.world.resultUpperBits = 0xDEADBEEF;
  EXPECT_EQ(frame(), 2) << "garbage above an on-foot 0 is still on foot";
  sitIn(CarA);
  EXPECT_EQ(frame(), 3);
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
  vehicle(CarA, Dark);
  sitIn(CarA);
  frame();
  keyDown(DefaultKey);
  setClock(1);
  EXPECT_EQ(frame(), 4) << "lit: the colour read, then switched dark";
  setClock(SwitchSpacingMs + 2);
  EXPECT_EQ(frame(), 3) << "dark: switched on, to the colour saved";
  EXPECT_EQ(call(2).hash, GameNatives::NeonColourSetter);
  EXPECT_EQ(neonOf(CarA), Dark);
}

}  // namespace
