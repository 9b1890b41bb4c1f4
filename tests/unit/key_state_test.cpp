#include "plugin_test.h"

using KeyStateTest = PluginTest;

TEST_P(KeyStateTest, PressCountsAsHeldForLessThanTheWindow) {
  setClock(0);
  keyDown(KeyN);
  for (std::uint32_t ms : {0u, 1u, HoldWindowMs / 2, HoldWindowMs - 1}) {
    setClock(ms);
    EXPECT_TRUE(isKeyHeld(KeyN)) << ms << " ms after the press; HoldWindowMs " << HoldWindowMs;
  }
  // Nor again once the count comes round: 0u - 256 is almost a full cycle on.
  for (std::uint32_t ms :
       {HoldWindowMs, HoldWindowMs + 1, 12 * HoldWindowMs, 0x80000000u, 0u - 256}) {
    setClock(ms);
    EXPECT_FALSE(isKeyHeld(KeyN)) << ms << " ms after the press; HoldWindowMs " << HoldWindowMs;
  }
}

TEST_P(KeyStateTest, ReleaseEndsHoldAtOnce) {
  setClock(0);
  keyDown(KeyN);
  setClock(100);
  keyUp(KeyN);
  EXPECT_FALSE(isKeyHeld(KeyN));
  setClock(200);
  EXPECT_FALSE(isKeyHeld(KeyN));
}

TEST_P(KeyStateTest, AutoRepeatRenewsTheWindow) {
  constexpr std::uint32_t LastRepeat = 2 * HoldWindowMs;
  for (std::uint32_t ms = 0; ms <= LastRepeat; ms += HoldWindowMs / 10) {
    setClock(ms);
    keyDown(KeyN);  // the host repeats a key held down
  }
  setClock(LastRepeat + HoldWindowMs - 1);
  EXPECT_TRUE(isKeyHeld(KeyN)) << "HoldWindowMs - 1 after the last repeat";
  setClock(LastRepeat + HoldWindowMs);
  EXPECT_FALSE(isKeyHeld(KeyN)) << "HoldWindowMs (" << HoldWindowMs << " ms) after the last repeat";
}

// A press made in the last seconds before the tick count wraps counts like
// any other, and a press whose release never came stays not held however the
// count moves on, through the wrap and into the next cycle.
TEST(KeyStateWrapTest, PressNearTheWrapIsHeldThenExpiresForGood) {
  for (std::uint32_t before : {1u, 2u, HoldWindowMs - 1, HoldWindowMs, HoldWindowMs + 1}) {
    resetStandins(0u - before);
    resetPluginState();
    handleKeyEvent(KeyN, 1, 0, 0, 0, 0, 0);
    EXPECT_TRUE(isKeyHeld(KeyN)) << "pressed " << before << " ms before the wrap";
    standinClock.now.store(0u - before + HoldWindowMs - 1);
    EXPECT_TRUE(isKeyHeld(KeyN)) << "pressed " << before << " ms before the wrap";
    for (std::uint32_t later :
         {HoldWindowMs, HoldWindowMs + 1, 20 * HoldWindowMs, 0x7FFFFFFFu, 0xFFFFFFFFu - before}) {
      standinClock.now.store(0u - before + later);
      EXPECT_FALSE(isKeyHeld(KeyN))
          << "pressed " << before << " ms before the wrap, " << later << " ms on";
    }
  }
}

TEST_P(KeyStateTest, KeysWithoutAnEventAreNotHeldAtAnyTick) {
  for (std::uint32_t now : {0u, 1u, HoldWindowMs - 1, HoldWindowMs, start(), 0xFFFFFFFFu}) {
    standinClock.now.store(now);
    for (std::uint32_t key : {0u, KeyN, HighestKeyCode}) {
      EXPECT_FALSE(isKeyHeld(key)) << "key " << key << " at tick " << now;
    }
  }
}

TEST_P(KeyStateTest, KeysOutsideTheTableAreIgnoredAndNeverHeld) {
  setClock(0);
  for (std::uint32_t key : {HighestKeyCode + 1, HighestKeyCode + 2, 1000u, 0xFFFFFFFFu}) {
    handleKeyEvent(key, 1, 0, 0, 0, 0, 0);
    EXPECT_FALSE(isKeyHeld(key)) << key;
  }
  EXPECT_EQ(standinClock.calls.load(), 0u) << "an ignored event read the clock";
  for (std::uint32_t key = 0; key <= HighestKeyCode; ++key) {
    EXPECT_FALSE(isKeyHeld(key)) << "key " << key << ", after events of keys outside the table";
  }
}

TEST_P(KeyStateTest, EventOverwritesTheWholeRecord) {
  setClock(42);
  handleKeyEvent(HighestKeyCode, 3, 0x31, 7, -5, 9, 0);
  const KeyState& state = keyStateTable[HighestKeyCode];
  EXPECT_EQ(state.tick.load(), tickAt(42));
  EXPECT_EQ(state.fifthArgument.load(), -5);
  EXPECT_EQ(state.sixthArgument.load(), 9);
  EXPECT_EQ(state.released.load(), 0);
  EXPECT_TRUE(isKeyHeld(HighestKeyCode));

  setClock(50);
  handleKeyEvent(HighestKeyCode, 1, 0x31, 0, 1, 2, 1);
  EXPECT_EQ(state.tick.load(), tickAt(50));
  EXPECT_EQ(state.fifthArgument.load(), 1);
  EXPECT_EQ(state.sixthArgument.load(), 2);
  EXPECT_EQ(state.released.load(), 1);
  EXPECT_FALSE(isKeyHeld(HighestKeyCode));
}

TEST_P(KeyStateTest, AnyNonZeroUpFlagIsARelease) {
  setClock(0);
  for (std::int32_t up : {1, -1, 0x100, static_cast<std::int32_t>(0x80000000u)}) {
    keyDown(KeyN);
    handleKeyEvent(KeyN, 1, 0, 0, 0, 0, up);
    EXPECT_FALSE(isKeyHeld(KeyN)) << up;
  }
}

INSTANTIATE_TEST_SUITE_P(Ticks, KeyStateTest, ::testing::Values(OrdinaryStart, BeforeWrapStart));
