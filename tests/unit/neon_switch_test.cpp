#include "plugin_test.h"

namespace {

constexpr GameHandle CarA = 0x3001;
constexpr GameHandle CarB = 0x3002;
constexpr NeonColour Amber = {255, 191, 0};
constexpr NeonColour Lime = {50, 205, 50};

// Far enough apart for a second switch; a key pressed once stays held over
// several such steps.
constexpr std::uint32_t Apart = SwitchSpacingMs + 1;
constexpr std::uint32_t FrameMs = 16;  // about 60 frames a second
static_assert(HoldWindowMs > 6 * Apart, "the tests hold a key across several switches");

class NeonSwitchTest : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    useHotkey(KeyN);
    vehicle(CarA, Amber);
    vehicle(CarB, Lime);
    sitIn(CarA);
    setClock(0);
    frame();  // got in
  }
};

TEST_P(NeonSwitchTest, HotkeyTurnsTheLightsDarkThenLightsThemAgain) {
  keyDown(KeyN);
  EXPECT_TRUE(frameSwitchesAt(Apart));
  EXPECT_EQ(neonOf(CarA), Dark);
  keyUp(KeyN);
  EXPECT_FALSE(frameSwitchesAt(3 * Apart)) << "released";
  keyDown(KeyN);
  EXPECT_TRUE(frameSwitchesAt(3 * Apart));
  EXPECT_EQ(neonOf(CarA), Amber);
}

TEST_P(NeonSwitchTest, SwitchesNeedMoreThanTheSpacingBetweenThem) {
  keyDown(KeyN);
  EXPECT_TRUE(frameSwitchesAt(0));
  EXPECT_FALSE(frameSwitchesAt(1));
  EXPECT_FALSE(frameSwitchesAt(SwitchSpacingMs))
      << "a switch exactly SwitchSpacingMs (" << SwitchSpacingMs << " ms) after another";
  EXPECT_TRUE(frameSwitchesAt(SwitchSpacingMs + 1))
      << "no switch SwitchSpacingMs + 1 (" << SwitchSpacingMs + 1 << " ms) after another";
}

// On frames FrameMs apart, a held hotkey switches on the first frame more
// than the spacing after the previous switch.
TEST_P(NeonSwitchTest, AHeldHotkeyBlinksUntilReleased) {
  constexpr std::uint32_t Held = 6 * Apart;
  constexpr std::uint32_t Every = (SwitchSpacingMs / FrameMs + 1) * FrameMs;
  keyDown(KeyN);
  std::uint32_t switches = 0;
  for (std::uint32_t ms = 0; ms < Held; ms += FrameMs) {
    switches += frameSwitchesAt(ms) ? 1 : 0;
  }
  EXPECT_EQ(switches, (Held - 1) / Every + 1)
      << "one switch every " << Every << " ms, from SwitchSpacingMs (" << SwitchSpacingMs << " ms)";
  setClock(Held);
  keyUp(KeyN);
  for (std::uint32_t ms = Held; ms < 2 * Held; ms += FrameMs) {
    EXPECT_FALSE(frameSwitchesAt(ms)) << ms << " ms, released at " << Held;
  }
}

TEST_P(NeonSwitchTest, AHeldHotkeyWithoutAReleaseStopsAfterTheHoldWindow) {
  constexpr std::uint32_t StepMs = 10;
  keyDown(KeyN);
  std::uint32_t lastSwitchMs = 0;
  for (std::uint32_t ms = 0; ms < 2 * HoldWindowMs; ms += StepMs) {
    if (frameSwitchesAt(ms)) {
      lastSwitchMs = ms;
    }
  }
  EXPECT_LT(lastSwitchMs, HoldWindowMs) << "HoldWindowMs (" << HoldWindowMs << " ms)";
  EXPECT_GE(lastSwitchMs, HoldWindowMs - (SwitchSpacingMs + StepMs))
      << "HoldWindowMs (" << HoldWindowMs << " ms), SwitchSpacingMs (" << SwitchSpacingMs << " ms)";
}

TEST_P(NeonSwitchTest, WithAModifierBothKeysMustBeHeldInEitherOrder) {
  useHotkey(KeyN, KeyCtrl);
  keyDown(KeyN);
  EXPECT_FALSE(frameSwitchesAt(0)) << "main key alone";
  keyUp(KeyN);
  keyDown(KeyCtrl);
  EXPECT_FALSE(frameSwitchesAt(Apart)) << "modifier alone";
  keyDown(KeyN);
  EXPECT_TRUE(frameSwitchesAt(2 * Apart)) << "modifier, then main key";
  keyUp(KeyCtrl);
  keyUp(KeyN);
  keyDown(KeyN);
  keyDown(KeyCtrl);
  EXPECT_TRUE(frameSwitchesAt(3 * Apart)) << "main key, then modifier";
}

TEST_P(NeonSwitchTest, AModifierEqualToTheMainKeyIsThatKeyAlone) {
  useHotkey(KeyN, KeyN);
  keyDown(KeyN);
  EXPECT_TRUE(frameSwitchesAt(0));
}

TEST_P(NeonSwitchTest, KeyCodesOutsideTheTableNeverFire) {
  constexpr std::uint32_t Outside = HighestKeyCode + 1;
  const struct {
    std::uint32_t mainKey;
    std::uint32_t modifierKey;
  } settings[] = {{Outside, Minus1}, {4096, Minus1}, {KeyN, Outside}, {KeyN, Minus1 - 1}};
  for (const auto& s : settings) {
    useHotkey(s.mainKey, s.modifierKey);
    handleKeyEvent(s.mainKey, 1, 0, 0, 0, 0, 0);
    handleKeyEvent(s.modifierKey, 1, 0, 0, 0, 0, 0);
    EXPECT_FALSE(frameSwitchesAt(Apart)) << s.mainKey << " + " << s.modifierKey;
  }
}

// Early in the tick cycle a record that started all zero would read as
// pressed at tick 0.
TEST_P(NeonSwitchTest, KeysThatNeverHadAnEventDoNotFireEvenEarlyInTheTickCycle) {
  useHotkey(0);
  for (std::uint32_t now : {Apart, HoldWindowMs / 2, HoldWindowMs - 1}) {
    EXPECT_FALSE(frameSwitchesAt(now - start())) << "tick " << now;
  }
}

TEST_P(NeonSwitchTest, NeitherOnFootNorOnTheFrameOfGettingIn) {
  keyDown(KeyN);
  EXPECT_TRUE(frameSwitchesAt(0));  // CarA dark
  onFoot();
  setClock(Apart);
  EXPECT_EQ(frame(), 3) << "getting out, the hotkey held: only the colour put back";
  setClock(2 * Apart);
  EXPECT_EQ(frame(), 2) << "on foot, the hotkey held: nothing";
  sitIn(CarB);
  setClock(3 * Apart);
  EXPECT_EQ(frame(), 3) << "getting in, the hotkey held: only the colour read";
  EXPECT_TRUE(frameSwitchesAt(3 * Apart + 1)) << "getting in is no switch, so the second frame may";
  EXPECT_EQ(neonOf(CarB), Dark) << "getting in lights the lights, though CarA was left dark";
}

TEST_P(NeonSwitchTest, ASwitchInOneVehicleDelaysTheNextInAnother) {
  keyDown(KeyN);
  EXPECT_TRUE(frameSwitchesAt(0));
  sitIn(CarB);
  setClock(1);
  frame();  // moved straight into B: A gets its colour back, B's is read
  EXPECT_EQ(neonOf(CarA), Amber);
  EXPECT_FALSE(frameSwitchesAt(SwitchSpacingMs))
      << "a switch in B SwitchSpacingMs (" << SwitchSpacingMs << " ms) after one in A";
  EXPECT_TRUE(frameSwitchesAt(SwitchSpacingMs + 1));
  EXPECT_EQ(neonOf(CarB), Dark);
}

// With the lights dark, moving straight into another vehicle and switching on
// lights that vehicle in its own colour, not in the first one's.
TEST_P(NeonSwitchTest, SwitchingOnAfterAMoveUsesTheNewVehiclesColour) {
  EXPECT_TRUE(strikeHotkeyAt(0));
  sitIn(CarB);
  frameSwitchesAt(1);
  EXPECT_EQ(neonOf(CarA), Amber);
  EXPECT_TRUE(strikeHotkeyAt(Apart));  // B: lit, so this turns it dark
  EXPECT_EQ(neonOf(CarB), Dark);
  EXPECT_TRUE(strikeHotkeyAt(2 * Apart));
  EXPECT_EQ(neonOf(CarB), Lime);
}

// The first switch after load is spaced from tick 0.
TEST_P(NeonSwitchTest, TheFirstSwitchAfterLoadWaitsForTheTickToPassTheSpacing) {
  for (std::uint32_t now : {0u, SwitchSpacingMs}) {
    standinClock.now.store(now);
    keyDown(KeyN);
    EXPECT_FALSE(frameSwitchesAt(now - start()))
        << "tick " << now << ", SwitchSpacingMs " << SwitchSpacingMs;
  }
  standinClock.now.store(SwitchSpacingMs + 1);
  keyDown(KeyN);
  EXPECT_TRUE(frameSwitchesAt(SwitchSpacingMs + 1 - start()));
}

INSTANTIATE_TEST_SUITE_P(Ticks, NeonSwitchTest, ::testing::Values(OrdinaryStart, BeforeWrapStart));

}  // namespace
