#include "plugin_test.h"

namespace {

constexpr GameHandle CarA = 0x3001;
constexpr GameHandle CarB = 0x3002;
constexpr NeonColour Amber = {255, 191, 0};
constexpr NeonColour Lime = {50, 205, 50};

class NeonSwitchTest : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    useHotkey(KeyN);
    noRecentSwitch();
    vehicle(CarA, Amber);
    vehicle(CarB, Lime);
    sitIn(CarA);
    setClock(0);
    frame();  // got in
  }
  // Runs a frame at `ms` and tells whether it switched.
  bool frameSwitchesAt(std::uint32_t ms) {
    setClock(ms);
    const bool before = neonState.lightsOn;
    frame();
    return neonState.lightsOn != before;
  }
};

TEST_P(NeonSwitchTest, HotkeyTurnsTheLightsDarkThenLightsThemAgain) {
  setClock(10);
  keyDown(KeyN);
  EXPECT_TRUE(frameSwitchesAt(10));
  EXPECT_EQ(neonOf(CarA), Dark);
  EXPECT_EQ(lastSwitchTick, tickAt(10));
  keyUp(KeyN);
  EXPECT_FALSE(frameSwitchesAt(1000));

  keyDown(KeyN);
  EXPECT_TRUE(frameSwitchesAt(1000));
  EXPECT_EQ(neonOf(CarA), Amber);
  EXPECT_TRUE(neonState.lightsOn);
}

TEST_P(NeonSwitchTest, SwitchesNeedMoreThan300MsBetweenThem) {
  keyDown(KeyN);
  EXPECT_TRUE(frameSwitchesAt(0));
  EXPECT_FALSE(frameSwitchesAt(1));
  EXPECT_FALSE(frameSwitchesAt(SwitchSpacingMs));
  EXPECT_TRUE(frameSwitchesAt(SwitchSpacingMs + 1));
}

TEST_P(NeonSwitchTest, AHeldHotkeyBlinksUntilReleased) {
  setClock(0);
  keyDown(KeyN);
  int switches = 0;
  for (std::uint32_t ms = 0; ms < 2000; ms += 16) {  // about 60 frames a second
    switches += frameSwitchesAt(ms) ? 1 : 0;
  }
  EXPECT_EQ(switches, 7);  // at 0, 304, 608, 912, 1216, 1520, 1824
  setClock(2000);
  keyUp(KeyN);
  for (std::uint32_t ms = 2000; ms < 4000; ms += 16) {
    EXPECT_FALSE(frameSwitchesAt(ms));
  }
}

TEST_P(NeonSwitchTest, AHeldHotkeyWithoutAReleaseStopsAfterTheHoldWindow) {
  setClock(0);
  keyDown(KeyN);
  std::uint32_t lastSwitchMs = 0;
  for (std::uint32_t ms = 0; ms < 8000; ms += 10) {
    if (frameSwitchesAt(ms)) {
      lastSwitchMs = ms;
    }
  }
  EXPECT_LT(lastSwitchMs, HoldWindowMs);
  EXPECT_GE(lastSwitchMs, HoldWindowMs - 310);
}

TEST_P(NeonSwitchTest, WithAModifierBothKeysMustBeHeldInEitherOrder) {
  useHotkey(KeyN, KeyCtrl);
  keyDown(KeyN);
  EXPECT_FALSE(frameSwitchesAt(0)) << "main key alone";
  keyUp(KeyN);
  keyDown(KeyCtrl);
  EXPECT_FALSE(frameSwitchesAt(400)) << "modifier alone";
  keyDown(KeyN);
  EXPECT_TRUE(frameSwitchesAt(800)) << "modifier, then main key";
  keyUp(KeyCtrl);
  keyUp(KeyN);
  keyDown(KeyN);
  keyDown(KeyCtrl);
  EXPECT_TRUE(frameSwitchesAt(1200)) << "main key, then modifier";
}

TEST_P(NeonSwitchTest, AModifierEqualToTheMainKeyIsThatKeyAlone) {
  useHotkey(KeyN, KeyN);
  keyDown(KeyN);
  EXPECT_TRUE(frameSwitchesAt(0));
}

TEST_P(NeonSwitchTest, KeyCodesOutsideTheTableNeverFire) {
  const struct {
    std::uint32_t mainKey;
    std::uint32_t modifierKey;
  } settings[] = {{255, Minus1}, {4096, Minus1}, {KeyN, 255}, {KeyN, 0xFFFFFFFEu}};
  for (const auto& s : settings) {
    useHotkey(s.mainKey, s.modifierKey);
    handleKeyEvent(s.mainKey, 1, 0, 0, 0, 0, 0);
    handleKeyEvent(s.modifierKey, 1, 0, 0, 0, 0, 0);
    EXPECT_FALSE(frameSwitchesAt(1000)) << s.mainKey << " + " << s.modifierKey;
  }
}

TEST_P(NeonSwitchTest, KeysThatNeverHadAnEventDoNotFireEvenEarlyInTheTickCycle) {
  useHotkey(0);
  for (std::uint32_t now : {400u, 1000u, 4999u}) {
    standinClock.now.store(now);
    const bool before = neonState.lightsOn;
    frame();
    EXPECT_EQ(neonState.lightsOn, before) << "tick " << now;
  }
}

TEST_P(NeonSwitchTest, NeitherOnFootNorOnTheFrameOfGettingIn) {
  keyDown(KeyN);
  onFoot();
  EXPECT_FALSE(frameSwitchesAt(0));
  EXPECT_EQ(callCount(), 3) << "only the colour put back";
  EXPECT_FALSE(frameSwitchesAt(400));
  neonState.lightsOn = false;  // as if the previous vehicle had been left dark
  sitIn(CarB);
  frame();
  EXPECT_TRUE(neonState.lightsOn) << "getting in lights the lights without a switch";
  EXPECT_EQ(lastSwitchTick, start() - 100'000) << "getting in is not a switch";
  EXPECT_TRUE(frameSwitchesAt(800)) << "the second frame in may switch";
}

TEST_P(NeonSwitchTest, ASwitchInOneVehicleDelaysTheNextInAnother) {
  keyDown(KeyN);
  EXPECT_TRUE(frameSwitchesAt(0));
  sitIn(CarB);
  setClock(100);
  frame();  // moved straight into B: its colour is read, no switch
  EXPECT_EQ(neonOf(CarA), Amber);
  EXPECT_FALSE(frameSwitchesAt(300));
  EXPECT_TRUE(frameSwitchesAt(301));
  EXPECT_EQ(neonOf(CarB), Dark);
}

// With the lights dark, moving straight into another vehicle and switching on
// lights that vehicle in its own colour, not in the first one's.
TEST_P(NeonSwitchTest, SwitchingOnAfterAMoveUsesTheNewVehiclesColour) {
  keyDown(KeyN);
  EXPECT_TRUE(frameSwitchesAt(0));
  keyUp(KeyN);
  sitIn(CarB);
  frameSwitchesAt(100);
  EXPECT_EQ(neonOf(CarA), Amber);
  keyDown(KeyN);
  frameSwitchesAt(500);  // B: lit, so this turns it dark
  keyUp(KeyN);
  EXPECT_EQ(neonOf(CarB), Dark);
  keyDown(KeyN);
  frameSwitchesAt(900);
  EXPECT_EQ(neonOf(CarB), Lime);
}

TEST_P(NeonSwitchTest, TheFirstSwitchAfterLoadWaitsForTheTickToPass300) {
  lastSwitchTick = loadTimePluginState.lastSwitchTick;  // undo noRecentSwitch: as loaded
  keyDown(KeyN);
  for (std::uint32_t now : {0u, 300u}) {
    standinClock.now.store(now);
    keyDown(KeyN);
    EXPECT_FALSE(frameSwitchesAt(now - start())) << now;
  }
  standinClock.now.store(301);
  keyDown(KeyN);
  EXPECT_TRUE(frameSwitchesAt(301 - start()));
}

INSTANTIATE_TEST_SUITE_P(Ticks, NeonSwitchTest, ::testing::Values(OrdinaryStart, BeforeWrapStart));

}  // namespace
